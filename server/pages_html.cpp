#include "server/pages_html.h"

#include <algorithm>
#include <cstdio>

#include "server/html_text.h"
#include "server/page_assets.h"

namespace vornmark::server {

namespace {

// What the Score column holds, in words. Say the rule the store applies.
constexpr std::string_view score_note =
    "Score: the robust average of the processor's counted runs, the mean of the middle half of their "
    "scores (a score is 120000 divided by the seconds one run took); Runs: how many runs count.";

std::string_view type_title(std::string_view type) {
    return type == "single" ? "Single-Core" : "Multi-Core";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

// A coordinate in an SVG, one decimal.
std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

void open_document(std::string& html, std::string_view title) {
    html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    html += html_escaped(title);
    html += "</title>\n<style>";
    html += page_style();
    html += "</style>\n</head>\n<body>\n";
}

void close_document(std::string& html, bool with_script) {
    if (with_script) {
        html += "<script>";
        html += page_script();
        html += "</script>\n";
    }
    html += "</body>\n</html>\n";
}

void site_header(std::string& html, std::string_view heading_html) {
    html += "<header><h1>";
    html += heading_html;
    html += "</h1></header>\n";
}

// The p10-p90 range with the median, on a scale from 0 to `top` that every row of a table shares:
// one short path for the range and one for the median. Everything else (size, track, colours,
// rounded corners) comes from the stylesheet, so that two hundred rows stay small.
void spread_bar(std::string& html, const RowDistribution& d, double top) {
    constexpr double width = 100;
    const auto x = [&](double value) { return std::clamp(value / top, 0.0, 1.0) * width; };
    // The range is drawn 1 inside its bounds, since its stroke (with round joins) adds 1 around it.
    const double left = x(d.p10);
    const double inner = std::max(0.0, std::max(1.0, x(d.p90) - left) - 2);
    html += "<svg role=\"img\" aria-label=\"p10 " + number(d.p10) + ", median " + number(d.median) + ", p90 " +
            number(d.p90) + "\"><path d=\"M" + coordinate(left + 1) + " 3h" + coordinate(inner) + "v6H" +
            coordinate(left + 1) + "z\"/><path d=\"M" + coordinate(std::min(width - 1, x(d.median) + 1)) +
            " 0v12\"/></svg>";
}

void standings_section(std::string& html, std::string_view type, const std::vector<PageRow>& rows) {
    html += "<section id=\"";
    html += type;
    html += "\"><h2>";
    html += type_title(type);
    html += "</h2>\n";
    if (rows.empty()) {
        html += "<p class=\"muted\">No runs yet</p></section>\n";
        return;
    }
    // The spread column only when some row has a distribution to draw.
    double top = 0;
    for (const PageRow& row : rows) {
        if (!row.distribution.empty()) top = std::max(top, row.distribution.p90);
    }
    const bool spread = top > 0;
    html += "<table class=\"sortable\"><thead><tr><th class=\"n\" data-sort=\"num\" "
            "aria-sort=\"ascending\">#</th>"
            "<th data-sort=\"text\">Processor</th><th class=\"n\" data-sort=\"num\">Score</th>"
            "<th class=\"n\" data-sort=\"num\">Runs</th>";
    if (spread) html += "<th class=\"spread\">p10 &ndash; p90</th>";
    html += "</tr></thead>\n<tbody>\n";
    int rank = 1;
    for (const PageRow& page_row : rows) {
        const StandingsRow& row = page_row.row;
        // The cells' looks come from the table's stylesheet by column, not from a class on each.
        html += "<tr><td>" + std::to_string(rank++) + "</td><td><a href=\"";
        html += html_escaped(processor_page_target(type, row.cpu));
        html += "\"><bdi>";
        html += html_escaped(row.cpu);
        html += "</bdi></a></td><td>" + std::to_string(row.avg_score) + "</td><td>" + std::to_string(row.runs) +
                "</td>";
        if (spread) {
            html += "<td>";
            if (!page_row.distribution.empty()) spread_bar(html, page_row.distribution, top);
            html += "</td>";
        }
        html += "</tr>\n";
    }
    html += "</tbody></table>\n</section>\n";
}

// Bars of the runs per bin, with the median (orange) and p10 and p90 (teal, dashed) marked and
// the range's ends written under it.
void histogram(std::string& html, const RowDistribution& d) {
    constexpr double width = 600, plot_height = 160, top = 10, bottom = 190;
    const double low = d.edges.front(), high = d.edges.back();
    const double span = high > low ? high - low : 1;
    const auto x = [&](double value) { return std::clamp((value - low) / span, 0.0, 1.0) * width; };
    const std::int64_t most = std::max<std::int64_t>(1, *std::max_element(d.counts.begin(), d.counts.end()));
    html += "<svg class=\"histogram\" viewBox=\"0 0 600 200\" width=\"600\" height=\"200\" role=\"img\" "
            "aria-label=\"runs by score\">";
    for (std::size_t i = 0; i < d.counts.size(); ++i) {
        const double bar_height = plot_height * static_cast<double>(d.counts[i]) / static_cast<double>(most);
        const double left = x(d.edges[i]);
        const double bar_width = std::max(1.0, x(d.edges[i + 1]) - left - 1);
        html += "<rect x=\"" + coordinate(left) + "\" y=\"" + coordinate(top + plot_height - bar_height) +
                "\" width=\"" + coordinate(bar_width) + "\" height=\"" + coordinate(bar_height) +
                "\" fill=\"#00d4aa\" fill-opacity=\"0.75\"><title>" + number(d.edges[i]) + " to " +
                number(d.edges[i + 1]) + ": " + std::to_string(d.counts[i]) + " runs</title></rect>";
    }
    for (const auto& [value, colour, dashed] :
         {std::tuple{d.p10, "#00d4aa", true}, std::tuple{d.p90, "#00d4aa", true},
          std::tuple{d.median, "#ff6b35", false}}) {
        const std::string at = coordinate(std::min(width - 1, x(value)));
        html += "<line x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + coordinate(top - 6) + "\" y2=\"" +
                coordinate(top + plot_height) + "\" stroke=\"" + colour + "\" stroke-width=\"2\"" +
                (dashed ? " stroke-dasharray=\"4 3\"" : "") + "/>";
    }
    html += "<line x1=\"0\" x2=\"600\" y1=\"170\" y2=\"170\" stroke=\"#808080\" stroke-width=\"1\"/>";
    html += "<text x=\"0\" y=\"" + coordinate(bottom) + "\" font-size=\"13\" fill=\"#8c8c8c\">" +
            number(low) + "</text><text x=\"600\" y=\"" + coordinate(bottom) +
            "\" font-size=\"13\" fill=\"#8c8c8c\" text-anchor=\"end\">" + number(high) + "</text></svg>\n";
}

}  // namespace

std::string processor_page_target(std::string_view type, std::string_view cpu) {
    return "/cpu?type=" + query_value(type) + "&cpu=" + query_value(cpu);
}

std::string standings_page_html(const std::vector<PageRow>& single, const std::vector<PageRow>& multi) {
    std::string html;
    html.reserve(4096 + 400 * (single.size() + multi.size()));
    open_document(html, "Vornmark leaderboard");
    site_header(html, "Vornmark <b>leaderboard</b>");
    html += "<main>\n";
    standings_section(html, "single", single);
    standings_section(html, "multi", multi);
    html += "</main>\n<footer><p>";
    html += score_note;
    html += " A processor's name leads to its own page. The program reads the same standings from "
            "<code>/api.php?type=single</code> and <code>/api.php?type=multi</code>.</p></footer>\n";
    close_document(html, /*with_script=*/true);
    return html;
}

std::string processor_page_html(std::string_view type, const ProcessorData& data) {
    const StandingsRow& row = data.row.row;
    const RowDistribution& d = data.row.distribution;
    std::string html;
    open_document(html, row.cpu + " \xE2\x80\x94 " + std::string(type_title(type)) +
                            " \xE2\x80\x94 Vornmark leaderboard");
    site_header(html, "<bdi>" + html_escaped(row.cpu) + "</bdi>");
    html += "<main>\n<section><h2>";
    html += type_title(type);
    html += "</h2>\n<dl><dt>Place</dt><dd>";
    if (data.rank) {
        html += '#';
        html += std::to_string(*data.rank);
        html += " of " + std::to_string(data.rows);
    } else {
        html += "not listed";
    }
    html += "</dd><dt>Score</dt><dd>" + std::to_string(row.avg_score) + "</dd><dt>Runs</dt><dd>" +
            std::to_string(row.runs) + "</dd>";
    if (!d.empty()) {
        html += "<dt>p10</dt><dd>" + number(d.p10) + "</dd><dt>Median</dt><dd>" + number(d.median) +
                "</dd><dt>p90</dt><dd>" + number(d.p90) + "</dd>";
    }
    html += "</dl>\n";
    if (!d.empty()) histogram(html, d);
    html += "<p><a href=\"/#" + std::string(type) + "\">All " + std::string(type_title(type)) +
            " standings</a></p>\n</section>\n</main>\n<footer><p>";
    html += score_note;
    html += "</p></footer>\n";
    close_document(html, /*with_script=*/false);
    return html;
}

std::string error_page_html(int status, std::string_view reason, std::string_view message) {
    std::string html;
    const std::string title = std::to_string(status) + " " + std::string(reason);
    open_document(html, title + " \xE2\x80\x94 Vornmark leaderboard");
    site_header(html, html_escaped(title));
    html += "<main>\n<section><p>";
    html += html_escaped(message);
    html += "</p><p><a href=\"/\">The standings</a></p></section>\n</main>\n";
    close_document(html, /*with_script=*/false);
    return html;
}

}  // namespace vornmark::server
