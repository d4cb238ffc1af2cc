// The leaderboard's web pages: the escaping of outside text, the markup made from rows, and the
// real server's pages with their headers.

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "server/cpu_name.h"
#include "server/gzip.h"
#include "server/html_text.h"
#include "server/page_assets.h"
#include "server/pages_html.h"
#include "tests/server/hostile_names.h"
#include "tests/server/test_http_client.h"
#include "tests/support/leaderboard_server.h"

namespace vornmark::server {

namespace {

TestRequest request_to(const LeaderboardServerProcess& server, const std::string& target,
                       const std::string& method = "GET") {
    TestRequest request;
    request.url = server.url() + target;
    request.ca_file = server.ca_file();
    request.method = method;
    return request;
}

TestReply get(const LeaderboardServerProcess& server, const std::string& target) {
    return send_request(request_to(server, target));
}

void submit(const LeaderboardServerProcess& server, const std::string& cpu, int score, int threads = 1) {
    TestRequest request = request_to(server, "/api.php", "POST");
    request.headers = {"Content-Type: application/json"};
    request.body = nlohmann::json{{"cpu_name", cpu},
                                  {"score", score},
                                  {"threads", threads},
                                  {"type", threads == 1 ? "single" : "multi"}}
                       .dump();
    EXPECT_EQ(send_request(request).body, R"({"ok":true})") << cpu;
}

std::string between(const std::string& text, const std::string& open, const std::string& close) {
    const std::size_t start = text.find(open);
    if (start == std::string::npos) return {};
    const std::size_t end = text.find(close, start + open.size());
    return end == std::string::npos ? std::string()
                                    : text.substr(start + open.size(), end - start - open.size());
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(HtmlText, OutsideTextBecomesTextWhereverItIsWritten) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"AMD Ryzen 9 7950X", "AMD Ryzen 9 7950X"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"},
        {"' onmouseover='x'", "&#39; onmouseover=&#39;x&#39;"},
        {"&lt;b&gt; AT&T", "&amp;lt;b&amp;gt; AT&amp;T"},
        {"a\xE2\x80\xA8z\xE2\x80\xA9", "a&#x2028;z&#x2029;"},
        {"Caf\xC3\xA9 \xF0\x9F\x9A\x80", "Caf\xC3\xA9 \xF0\x9F\x9A\x80"},  // other characters as they are
        {std::string("nul\0tab\tnl\n", 11), "nul\xEF\xBF\xBDtab\xEF\xBF\xBDnl\xEF\xBF\xBD"},
        {"c1\xC2\x85", "c1\xEF\xBF\xBD"},
        {"bad\xC3\x28", "bad\xEF\xBF\xBD("},
        {"cut\xE2\x82", "cut\xEF\xBF\xBD"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(html_escaped(c.in), c.out) << c.in;
    // Whatever the bytes, nothing that opens markup is left.
    std::string every_byte;
    for (int b = 0; b < 256; ++b) every_byte += static_cast<char>(b);
    const std::string escaped = html_escaped(every_byte);
    EXPECT_EQ(escaped.find_first_of("<>\"'"), std::string::npos) << escaped;
}

TEST(Gzip, TakenOnlyWhereAcceptEncodingTakesIt) {
    struct Case {
        const char* header;
        bool gzip;
    };
    const std::vector<Case> cases = {
        {nullptr, false},
        {"", false},
        {"gzip", true},
        {"deflate, GZIP", true},
        {"br;q=1, gzip;q=0.5", true},
        {"x-gzip", true},
        {"gzip;q=0", false},
        {"gzip; q=0.000", false},
        {"identity", false},
        {"*", false},
        {"gzipped", false},
        {"br, gzip ; q=1.0", true},
    };
    for (const Case& c : cases) EXPECT_EQ(accepts_gzip(c.header), c.gzip) << (c.header ? c.header : "(none)");
    EXPECT_EQ(gzip_compressed("page").substr(0, 2), "\x1f\x8b");
}

TEST(HtmlText, QueryValuesKeepOnlyUnreservedBytes) {
    EXPECT_EQ(query_value("A+B & C #1 100%"), "A%2BB%20%26%20C%20%231%20100%25");
    EXPECT_EQ(query_value("Caf\xC3\xA9-1.0_x~"), "Caf%C3%A9-1.0_x~");
}

TEST(PagesHtml, TheSpreadAndTheHistogramAreDrawnOnlyFromADistribution) {
    const PageRow plain{{"Plain CPU", 100, 3}, {}};
    const PageRow spread{{"Spread CPU", 140, 41},
                         {120, 139, 150, {100, 110, 120, 130, 140, 150, 160}, {1, 3, 8, 15, 10, 4}}};

    const std::string without = standings_page_html({plain}, {});
    EXPECT_EQ(count_of(without, "<svg"), 0u);
    EXPECT_EQ(count_of(without, "No runs yet"), 1u);  // the multi-core table
    const std::string with = standings_page_html({spread, plain}, {plain});
    EXPECT_EQ(count_of(with, "<svg"), 1u);
    EXPECT_NE(with.find("aria-label=\"p10 120, median 139, p90 150\""), std::string::npos);
    EXPECT_EQ(count_of(with, "<th class=\"spread\">"), 1u);  // only the table that has a spread

    const std::string page_without = processor_page_html("single", {plain, 3, 7});
    EXPECT_EQ(page_without.find("<svg"), std::string::npos);
    EXPECT_EQ(page_without.find("Median"), std::string::npos);
    EXPECT_NE(page_without.find("<dt>Place</dt><dd>#3 of 7</dd>"), std::string::npos);
    const std::string page_with = processor_page_html("multi", {spread, std::nullopt});
    EXPECT_EQ(count_of(between(page_with, "<svg", "</svg>"), "<rect"), 6u);
    EXPECT_NE(page_with.find("<dt>p10</dt><dd>120</dd><dt>Median</dt><dd>139</dd><dt>p90</dt><dd>150</dd>"),
              std::string::npos);
    EXPECT_NE(page_with.find("<dt>Place</dt><dd>not listed</dd>"), std::string::npos);
    for (const std::string& page : {without, with, page_without, page_with}) {
        EXPECT_EQ(page.find("style="), std::string::npos);  // the policy allows no style attribute
    }

    // A full board (the listed hundred of each type, long names, every row with a spread) is a
    // page of at most 100 KB.
    std::vector<PageRow> full;
    for (int i = 0; i < Store::max_standings_rows; ++i) {
        PageRow row = spread;
        row.row.cpu = "Intel(R) Xeon(R) Platinum 8480+ CPU @ 2.00GHz model " + std::to_string(i);
        row.distribution.p10 = 1000000 + 1234.5 * i;
        row.distribution.median = 1100000 + 1234.5 * i;
        row.distribution.p90 = 1200000 + 1234.5 * i;
        full.push_back(row);
    }
    EXPECT_LE(standings_page_html(full, full).size(), 100u * 1024);
}

// Every page, whatever its status, carries the security headers, and its inline style and script
// are the ones the policy names; the JSON API keeps its own replies.
TEST(Pages, EveryPageCarriesTheSecurityHeadersAndTheHashesOfItsOwnStyleAndScript) {
    LeaderboardServerProcess server;
    submit(server, "Known CPU", 100);
    struct Case {
        std::string method;
        std::string target;
        long status;
    };
    const std::vector<Case> cases = {
        {"GET", "/", 200},
        {"HEAD", "/", 200},
        {"GET", "/?type=multi&anything=else", 200},
        {"GET", "/cpu?type=single&cpu=Known%20CPU", 200},
        {"GET", "/cpu?type=single&cpu=Known+CPU", 200},
        {"GET",
         "/cpu?type=single&cpu=%EF%BC%AB"
         "nown%20CPU",
         200},  // a look-alike spelling
        {"GET", "/cpu?type=multi&cpu=Known%20CPU", 404},
        {"GET", "/cpu?type=single&cpu=Unknown%20CPU", 404},
        {"GET", "/cpu?type=single", 400},
        {"GET", "/cpu?cpu=Known%20CPU", 400},
        {"GET", "/cpu?type=dual&cpu=Known%20CPU", 400},
        {"GET", "/cpu?type=single&cpu=", 400},
        {"GET", "/cpu?type=single&cpu=Known%00CPU", 400},
        {"GET", "/cpu?type=single&cpu=Known%FFCPU", 400},
        {"GET", "/cpu?type=single&cpu=%E2%80%8B", 400},  // nothing visible
        {"GET", "/cpu?type=single&cpu=" + std::string(130, 'x'), 400},
        {"GET", "/favicon.ico", 404},
        {"GET", "/api.php/", 404},
        {"POST", "/", 405},
        {"DELETE", "/cpu?type=single&cpu=Known%20CPU", 405},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.target);
        TestRequest request = request_to(server, c.target, c.method);
        if (c.method != "GET" && c.method != "HEAD") request.headers = {"Content-Length: 0"};
        const TestReply reply = send_request(request);
        EXPECT_EQ(reply.status, c.status) << reply.error;
        EXPECT_EQ(reply.header("Content-Type"), "text/html; charset=utf-8");
        EXPECT_EQ(reply.header("Content-Security-Policy"), content_security_policy());
        EXPECT_EQ(reply.header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(reply.header("Referrer-Policy"), "no-referrer");
        EXPECT_EQ(reply.header("Cache-Control"), c.status == 200 ? "public, max-age=1" : "no-store");
        if (c.status == 405) {
            EXPECT_EQ(reply.header("Allow"), "GET, HEAD");
        }
        if (c.method == "HEAD") {
            EXPECT_TRUE(reply.body.empty());
            continue;
        }
        EXPECT_EQ(reply.body.rfind("<!DOCTYPE html>", 0), 0u) << reply.body;
        const std::string policy = reply.header("Content-Security-Policy");
        EXPECT_NE(policy.find(csp_hash(between(reply.body, "<style>", "</style>"))), std::string::npos);
        if (reply.body.find("<script>") != std::string::npos) {
            EXPECT_NE(policy.find(csp_hash(between(reply.body, "<script>", "</script>"))), std::string::npos);
        }
    }
    // The standings page, gzipped for a client that takes it; the same page either way.
    TestRequest compressed = request_to(server, "/");
    compressed.headers = {"Accept-Encoding: gzip"};
    const TestReply gzipped = send_request(compressed);
    EXPECT_EQ(gzipped.header("Content-Encoding"), "gzip");
    EXPECT_EQ(gzipped.header("Vary"), "Accept-Encoding");
    EXPECT_EQ(gzipped.body, gzip_compressed(get(server, "/").body));
    const TestReply json = get(server, "/api.php?type=single");
    EXPECT_EQ(json.body, R"({"leaderboard":[{"avg_score":100,"cpu":"Known CPU","runs":1}]})");
    EXPECT_EQ(json.header("Content-Type"), "application/json");
    EXPECT_EQ(json.header("Content-Security-Policy"), "");
    const TestReply json_missing = get(server, "/api.php");
    EXPECT_EQ(json_missing.status, 400);
    EXPECT_EQ(json_missing.header("Content-Type"), "application/json");
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

TEST(Pages, TheStandingsPageIsTheKeptStandingsWithTheirAge) {
    LeaderboardServerProcess server;
    submit(server, "First CPU", 300);
    submit(server, "Second CPU", 2000, 8);
    // A processor's place comes from standings read after the runs it has, even when no one asked
    // for the standings since.
    EXPECT_NE(get(server, "/cpu?type=multi&cpu=Second%20CPU").body.find("<dt>Place</dt><dd>#1 of 1</dd>"),
              std::string::npos);
    const TestReply page = get(server, "/");
    ASSERT_EQ(page.status, 200) << page.error;
    const std::string age = page.header("Age");
    ASSERT_FALSE(age.empty()) << page.headers;
    EXPECT_LE(std::stoi(age), 1);
    EXPECT_NE(page.body.find("<section id=\"single\">"), std::string::npos);
    EXPECT_NE(page.body.find("<bdi>First CPU</bdi></a></td><td>300</td><td>1</td>"),
              std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("<bdi>Second CPU</bdi>"), std::string::npos);
    // A run stored by this process shows at once, as in the JSON standings.
    submit(server, "First CPU", 500);
    EXPECT_NE(get(server, "/").body.find("<td>400</td><td>2</td>"),
              std::string::npos);
    EXPECT_NE(get(server, "/cpu?type=single&cpu=First%20CPU").body.find("<dd>#1 of 1</dd>"),
              std::string::npos);
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

// Every hostile name is written escaped, never as it came, and its link leads to its own page.
TEST(Pages, HostileNamesAreWrittenAsTextAndTheirLinksLeadToTheirPages) {
    // Many new names from one address: a private board.
    LeaderboardServerProcess server({.extra_args = {"--private"}});
    for (const std::string& name : hostile_names()) submit(server, name, 100);
    TestRequest refused = request_to(server, "/api.php", "POST");
    refused.headers = {"Content-Type: application/json"};
    refused.body =
        nlohmann::json{{"cpu_name", bidi_override_name}, {"score", 1}, {"threads", 1}, {"type", "single"}}
            .dump();
    EXPECT_NE(send_request(refused).body.find("\"ok\":false"), std::string::npos);

    const TestReply page = get(server, "/");
    ASSERT_EQ(page.status, 200) << page.error;
    for (const std::string& name : hostile_names()) {
        const std::string shown = canonical_cpu_name(name);
        EXPECT_NE(page.body.find("<bdi>" + html_escaped(shown) + "</bdi>"), std::string::npos) << name;
        if (shown.find_first_of("<>\"'&") != std::string::npos) {
            EXPECT_EQ(page.body.find(shown), std::string::npos) << name;
        }
    }
    const std::regex link("<a href=\"(/cpu\\?[^\"]*)\"><bdi>([^<]*)</bdi>");
    std::size_t links = 0;
    for (auto it = std::sregex_iterator(page.body.begin(), page.body.end(), link);
         it != std::sregex_iterator(); ++it) {
        const std::string target = std::regex_replace((*it)[1].str(), std::regex("&amp;"), "&");
        const TestReply own = get(server, target);
        EXPECT_EQ(own.status, 200) << target;
        EXPECT_NE(own.body.find("<h1><bdi>" + std::string((*it)[2]) + "</bdi></h1>"), std::string::npos)
            << target;
        ++links;
    }
    EXPECT_EQ(links, hostile_names().size());
    EXPECT_EQ(server.stop(), 0) << server.log_text();
}

}  // namespace vornmark::server
