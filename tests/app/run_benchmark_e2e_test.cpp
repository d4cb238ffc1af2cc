// The window end to end: the test build of the program under Xvfb, a real click on
// "Single-Core", the run stored in history.json beside the executable and submitted
// to the real leaderboard server on loopback, and screenshots of the result.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "history/history_store.h"
#include "net/http.h"
#include "tests/support/endpoints.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/temp_dir.h"

namespace vornmark::app {

namespace fs = std::filesystem;

namespace {

// Pixels in a region of a screenshot close to teal (0, 212, 170), anti-aliased text
// included: most of the colour and little else.
int count_teal(const fs::path& png, const std::string& geometry) {
    const CommandResult text =
        run_command({"convert", png.string(), "-crop", geometry, "+repage", "-depth", "8", "txt:-"},
                    std::chrono::seconds(60));
    if (text.exit_code != 0) return -1;
    int count = 0;
    std::istringstream lines(text.output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t hash = line.find('#');
        if (hash == std::string::npos || line.size() < hash + 7) continue;
        const unsigned long rgb = std::strtoul(line.substr(hash + 1, 6).c_str(), nullptr, 16);
        const int r = static_cast<int>((rgb >> 16) & 0xFF);
        const int g = static_cast<int>((rgb >> 8) & 0xFF);
        const int b = static_cast<int>(rgb & 0xFF);
        count += r < 50 && g > 140 && b > 110 && g > b + 15;
    }
    return count;
}

// The test build copied into `dir`, so that its history.json and imgui.ini are the
// test's own, then one session of run_benchmark_e2e.sh under a fresh X server.
CommandResult run_session(const LeaderboardServerProcess& server, const fs::path& dir,
                          const std::string& button, int runs,
                          const std::vector<std::string>& environment = {}) {
    const fs::path program = dir / "vornmark-e2e";
    fs::copy_file(VORNMARK_E2E_PROGRAM, program, fs::copy_options::overwrite_existing);
    setenv("VORNMARK_LEADERBOARD_URL", server.url().c_str(), 1);
    setenv("VORNMARK_LEADERBOARD_CA", server.ca_file().c_str(), 1);
    CommandResult result;
    // Two xvfb-run -a started at the same moment (other end-to-end tests) can pick the
    // same display number; the loser's X server fails to start (or the program finds no
    // display) and it is tried again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<std::string> command = {"env"};
        command.insert(command.end(), environment.begin(), environment.end());
        command.insert(command.end(),
                       {"xvfb-run", "-a", "-s", "-screen 0 1920x1080x24", "bash", VORNMARK_E2E_SCRIPT,
                        program.string(), dir.string(), button, std::to_string(runs)});
        result = run_command(command, std::chrono::seconds(120));
        const bool display_lost = result.output.find("Xvfb failed to start") != std::string::npos ||
                                  result.output.find("cannot open the window system") != std::string::npos;
        if (!display_lost) break;
    }
    return result;
}

int server_runs(const LeaderboardServerProcess& server, const std::string& type, const std::string& cpu) {
    const HttpEndpoint endpoint = endpoint_of(server);
    const nlohmann::json reply = nlohmann::json::parse(http_get(endpoint, "/api.php?type=" + type));
    int runs = 0;
    for (const auto& row : reply.at("leaderboard"))
        if (row.at("cpu").get<std::string>() == cpu) runs += row.at("runs").get<int>();
    return runs;
}

}  // namespace

TEST(WindowEndToEnd, SingleCoreClickStoresSubmitsAndShowsTheRun) {
    // The test build's tiny runs score far above what a real run could.
    LeaderboardServerProcess server({.extra_args = {"--max-score-per-thread", "10000000"}});
    TempDir dir;
    const CommandResult session = run_session(server, dir.path(), "single", 1);
    ASSERT_EQ(session.exit_code, 0) << session.output;

    HistoryStore history((dir.path() / "history.json").string());
    history.load();
    ASSERT_EQ(history.entries().size(), 1u) << session.output;
    const HistoryEntry& entry = history.entries()[0];
    EXPECT_EQ(entry.type, "single");
    EXPECT_EQ(entry.threads, 1);
    EXPECT_GT(entry.score, 0);
    EXPECT_EQ(entry.resolution_w, 1920);
    EXPECT_EQ(entry.samples, 128);

    EXPECT_EQ(server_runs(server, "single", entry.cpu), 1) << server.log_text();

    const fs::path before = dir.path() / "before.png";
    const fs::path after = dir.path() / "after.png";
    ASSERT_TRUE(fs::exists(after));
    // Teal: in the left column the large single-core score replaces "---", in the
    // right column the history row's "SC" appears.
    const std::string left_column = "300x700+0+300";
    const std::string right_column = "380x500+1220+60";
    const int left_before = count_teal(before, left_column);
    const int right_before = count_teal(before, right_column);
    EXPECT_GT(count_teal(after, left_column), left_before + 50) << left_before;
    EXPECT_GT(count_teal(after, right_column), right_before + 5) << right_before;

    // VORNMARK_WINDOW_SCREENSHOTS=docs/screenshots renews the README's picture of a run with its
    // standing under the score.
    if (const char* keep = std::getenv("VORNMARK_WINDOW_SCREENSHOTS"))
        fs::copy_file(after, fs::path(keep) / "where-you-stand.png", fs::copy_options::overwrite_existing);
}

// One line of the end-to-end program's frame log (see app/program_configuration.h).
struct LoggedFrame {
    double time = 0.0;
    bool running = false;
    std::string progress_line;
};

std::vector<LoggedFrame> read_frame_log(const fs::path& path) {
    std::vector<LoggedFrame> frames;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with('#')) continue;
        std::istringstream fields(line);
        LoggedFrame frame;
        int running = 0;
        std::string skip;
        fields >> frame.time >> running >> skip >> skip >> skip >> skip >> skip;
        std::getline(fields >> std::ws, frame.progress_line);
        frame.running = running != 0;
        frames.push_back(frame);
    }
    return frames;
}

TEST(WindowEndToEnd, DuringARunTheProgressLineMovesTwiceASecondAndCancelEndsTheRun) {
    LeaderboardServerProcess server;
    TempDir dir;
    // A run far longer than the 4 s before Cancel on any machine.
    const CommandResult session =
        run_session(server, dir.path(), "cancel", 0,
                    {"VORNMARK_TEST_RUN=960x540x128", "VORNMARK_TEST_FRAME_LOG=frames.log"});
    ASSERT_EQ(session.exit_code, 0) << session.output;

    const std::vector<LoggedFrame> frames = read_frame_log(dir.path() / "frames.log");
    std::vector<LoggedFrame> during;
    for (const LoggedFrame& frame : frames)
        if (frame.running) during.push_back(frame);
    ASSERT_GE(during.size(), 2u) << session.output;
    int changes = 0;
    for (std::size_t i = 1; i < during.size(); ++i)
        changes += during[i].progress_line != during[i - 1].progress_line;
    const double seconds = during.back().time - during.front().time;
    EXPECT_GE(seconds, 3.0);
    EXPECT_GE(changes, 2.0 * seconds) << changes << " changes in " << seconds << " s";

    // Cancelled: the window shows the run ended, and nothing was stored.
    EXPECT_FALSE(frames.back().running) << session.output;
    EXPECT_FALSE(fs::exists(dir.path() / "history.json"));
}

}  // namespace vornmark::app
