#include "cli/listings.h"

#include <cstdio>

#include "base/run_kind.h"
#include "history/history_report.h"
#include "net/leaderboard_page.h"
#include "net/printable_text.h"
#include "sysinfo/system_info_rows.h"

namespace vornmark::cli {

std::string info_listing(const SystemInfo& info) {
    std::string text;
    for (const SystemInfoRow& row : system_info_rows(info)) {
        if (!row.label.empty()) {
            text += row.label;
            text.append(row.label.size() < 7 ? 7 - row.label.size() : 1, ' ');
            // Probed names (a hypervisor chooses the processor's) are kept printable too.
            text += printable_text(row.value);
        }
        text += '\n';
    }
    return text;
}

std::string leaderboard_listing(const LeaderboardSetting& setting) {
    if (setting.none()) return "\n" + no_leaderboard_line() + "\n";
    return std::string(setting.refused() ? "\nLeaderboard refused: " : "\nLeaderboard ") +
           setting.description() + "\n";
}

std::string history_save_line(const HistoryStore& history) {
    if (history.last_save().saved) return "History: " + history.path();
    return history_change_problem(history);
}

std::string history_listing(const HistoryStore& history) {
    if (const std::string problem = history_load_problem(history); !problem.empty()) return problem + "\n";
    const std::vector<HistoryEntry>& entries = history.entries();
    if (entries.empty()) return "No results yet\n";

    std::string text = "   #  Type    Score      Time  Date                 CPU\n";
    char line[512];
    for (std::size_t i = entries.size(); i-- > 0;) {
        // The file may come from anywhere: its text is printed as printable text only.
        const HistoryEntry& entry = entries[i];
        std::snprintf(line, sizeof line, "%4zu  %-6s %6d %8.1fs  %-19s  %s\n", i + 1,
                      printable_text(entry.type).c_str(), entry.score, entry.time_seconds,
                      printable_text(entry.date).c_str(), printable_text(entry.cpu).c_str());
        text += line;
    }
    const std::int32_t best_single = history.best_score(RunKind::Single);
    const std::int32_t best_multi = history.best_score(RunKind::Multi);
    text +=
        "\nBest single-core: " + (best_single > 0 ? std::to_string(best_single) : std::string("---")) + "\n";
    text += "Best multi-core:  " + (best_multi > 0 ? std::to_string(best_multi) : std::string("---")) + "\n";
    return text;
}

std::string standings_listing(const std::string& title, const std::vector<LeaderboardEntry>& standings,
                              const FetchOutcome& outcome, const std::string& own_cpu) {
    std::string text = title + "\n";
    if (!outcome.error.empty()) text += "  Could not fetch the standings: " + outcome.error + "\n";
    if (standings.empty()) {
        if (outcome.error.empty()) text += outcome.received ? "  No runs yet\n" : "  No data yet\n";
        return text;
    }

    text += "     #  CPU                                               Score   Runs\n";
    char line[512];
    int rank = 1;
    bool own_shown = false;
    for (const LeaderboardEntry& entry : standings) {
        const bool own = !own_cpu.empty() && entry.cpu == own_cpu;
        own_shown = own_shown || own;
        std::snprintf(line, sizeof line, "%s %4d  %-48s %7d %6d\n", own ? ">" : " ", rank++,
                      entry.cpu.c_str(), entry.avg_score, entry.runs);
        text += line;
    }
    if (own_shown) text += "  > your processor\n";
    return text;
}

std::string web_page_listing(const LeaderboardSetting& setting) {
    const LeaderboardPage page = leaderboard_page(setting);
    if (page.url.empty()) return {};
    std::string text = "\nOn the web: " + page.url + "\n";
    if (!page.note.empty()) text += "  " + page.note + "\n";
    return text;
}

}  // namespace vornmark::cli
