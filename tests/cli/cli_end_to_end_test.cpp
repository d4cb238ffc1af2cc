// Runs the real vornmark-cli binary with tiny custom runs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/scaling_run.h"
#include "net/http.h"
#include "sysinfo/system_info.h"
#include "tests/support/endpoints.h"
#include "tests/support/environment.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace vornmark::cli {

namespace {

struct Outcome {
    int exit_code = -1;  // -1: did not exit normally
    std::string out;
    std::string err;
};

std::string read_all(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class CliEndToEnd : public testing::Test {
protected:
    // Every test runs in a folder whose name is not ASCII, as a user's often is.
    void SetUp() override {
        char pattern[] = "/tmp/vornmark-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        dir = root / "Jürgen ベンチ";
        std::filesystem::create_directory(dir);
        // The user's own configuration stays out of the tests.
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    // Starts the binary with stdout and stderr going to files in the test's directory.
    pid_t spawn(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& arg : copies) argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, (dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = -1;
        const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(failed, 0);
        return pid;
    }

    // Waits for the process, killing it if it outlives a generous deadline.
    Outcome finish(pid_t pid, std::chrono::seconds deadline = std::chrono::seconds(240)) {
        int status = 0;
        if (!wait_until([&] { return waitpid(pid, &status, WNOHANG) != 0; }, deadline)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "vornmark-cli did not finish in time";
        }
        Outcome outcome;
        if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
        outcome.out = read_all(dir / "out");
        outcome.err = read_all(dir / "err");
        return outcome;
    }

    Outcome run(const std::vector<std::string>& args) { return finish(spawn(args)); }

    // A copy of the binary in the test's directory keeps its history file there too.
    void use_copy_of_binary() {
        const std::filesystem::path copy = dir / "vornmark-cli";
        std::filesystem::copy_file(VORNMARK_CLI_PATH, copy);
        program = copy.string();
    }

    // The end-to-end program (tiny preset runs, recorded and submitted like real ones) in the test's
    // directory, talking to `server`.
    void use_copy_of_e2e_program(const LeaderboardServerProcess& server) {
        const std::filesystem::path copy = dir / "vornmark-cli-e2e";
        std::filesystem::copy_file(VORNMARK_CLI_E2E_PATH, copy);
        program = copy.string();
        setenv("VORNMARK_LEADERBOARD_URL", server.url().c_str(), 1);
        setenv("VORNMARK_LEADERBOARD_CA", server.ca_file().c_str(), 1);
    }

    const ScopedEnvironment environment{"VORNMARK_LEADERBOARD_URL", "VORNMARK_LEADERBOARD_CA",
                                        "VORNMARK_LEADERBOARD_STARTED_BY", "XDG_CONFIG_HOME"};
    std::filesystem::path root;
    std::filesystem::path dir;
    std::string program = VORNMARK_CLI_PATH;
};

// How often `what` occurs in the server's request log so far.
std::size_t logged(const LeaderboardServerProcess& server, const std::string& what) {
    const std::string log = server.log_text();
    std::size_t count = 0;
    for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++count;
    return count;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(CliEndToEnd, TinyCustomRunsPrintJsonAndWriteTheImage) {
    const std::string image = (dir / "x.ppm").string();
    const Outcome outcome = run(
        {"--width", "32", "--height", "18", "--samples", "1", "--depth", "3", "--json", "--image", image});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;

    const std::vector<std::string> lines = lines_of(outcome.out);
    ASSERT_EQ(lines.size(), 2u) << "the single-core run, then the multi-core run";
    const auto single = nlohmann::json::parse(lines[0]);
    const auto multi = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(single["type"], "single");
    EXPECT_EQ(single["threads"], 1);
    EXPECT_EQ(multi["threads"], std::max(1u, std::thread::hardware_concurrency()));
    for (const auto& run : {single, multi}) {
        EXPECT_EQ(run["custom"], true);
        EXPECT_EQ(run["width"], 32);
        EXPECT_EQ(run["height"], 18);
        EXPECT_EQ(run["samples"], 1);
        EXPECT_EQ(run["max_depth"], 3);
        EXPECT_EQ(run["tile_size"], 32);
        EXPECT_GT(run["score"].get<std::int64_t>(), 0);
        EXPECT_GT(run["time_seconds"].get<double>(), 0.0);
        EXPECT_EQ(run["date"].get<std::string>().size(), 19u);
        // Never "quiet" required: the suite shares the machine.
        const auto& conditions = run["conditions"];
        EXPECT_TRUE(conditions["verdict"] == "quiet" || conditions["verdict"] == "busy" ||
                    conditions["verdict"] == "throttled")
            << conditions;
        EXPECT_TRUE(conditions["others_percent"].is_number()) << conditions;
        EXPECT_EQ(conditions["tail_percent"].is_number(), run["threads"] > 1) << conditions;
    }

    const std::string header = "P6\n32 18\n255\n";
    const std::string written = read_all(image);
    ASSERT_EQ(written.size(), header.size() + 32 * 18 * 3);
    EXPECT_EQ(written.substr(0, header.size()), header);
}

TEST_F(CliEndToEnd, TextResultNamesTypeScoreSecondsThreadsAndDate) {
    const Outcome outcome =
        run({"--single", "--width", "16", "--height", "9", "--samples", "1", "--depth", "2"});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    const std::vector<std::string> lines = lines_of(outcome.out);
    // The result, then its image's digest, that a custom image has nothing to be checked against,
    // and the conditions it ran in.
    ASSERT_EQ(lines.size(), 4u) << outcome.out;
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("Conditions: (quiet|busy|throttled).*others .*")))
        << lines[3];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("Image SHA-256: [0-9a-f]{64}"))) << lines[1];
    EXPECT_EQ(lines[2], "Not verified: no known-good image for these settings");
    int score = -1;
    double seconds = -1.0;
    int threads = -1;
    char date[32] = "";
    int consumed = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "single (custom)  score %d  time %lf s  threads %d  date %31s%n",
                          &score, &seconds, &threads, date, &consumed),
              4)
        << lines[0];
    EXPECT_EQ(static_cast<std::size_t>(consumed), lines[0].size()) << lines[0];
    EXPECT_GT(score, 0);
    // Three decimals; a fast machine may finish this tiny run in "0.000" seconds.
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("  time [0-9]+\\.[0-9]{3} s  "))) << lines[0];
    EXPECT_GE(seconds, 0.0);
    EXPECT_EQ(threads, 1);
    EXPECT_EQ(std::string(date).size(), 19u);
    EXPECT_EQ(date[10], 'T');
    EXPECT_EQ(outcome.err.find('\r'), std::string::npos) << "no progress line when stderr is not a terminal";
}

TEST_F(CliEndToEnd, BadArgumentExitsWith2AndRunsNothing) {
    const std::string image = (dir / "y.ppm").string();
    std::filesystem::create_directory(dir / "folder.png");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--image", image, "--bogus"},
          {"--image", image, "--width", "abc"},
          {"--image", (dir / "y.jpg").string(), "--samples", "1"},
          {"--image", (dir / "missing" / "y.ppm").string(), "--samples", "1"},
          {"--image", (dir / "folder.png").string(), "--samples", "1"}}) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.exit_code, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(lines_of(outcome.err).size(), 1u) << outcome.err;
        EXPECT_EQ(outcome.err.find("Running"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(image));
    }
}

TEST_F(CliEndToEnd, HelpPrintsUsageAndExits0) {
    const Outcome outcome = run({"--help"});
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_NE(outcome.out.find("Usage: vornmark-cli"), std::string::npos);
    EXPECT_NE(outcome.out.find("--threads"), std::string::npos);
}

// Ctrl-C and SIGTERM cancel the run in progress: one line says how far it got and that nothing was
// stored, and the exit code is the signal's.
TEST_F(CliEndToEnd, StopSignalCancelsTheRunSaysSoAndExitsWithTheSignalsCode) {
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        // Minutes of work in small tiles, so only the tile in flight is waited for.
        const pid_t pid = spawn(
            {"--threads", "1", "--width", "320", "--height", "180", "--samples", "1000", "--tile", "4"});
        EXPECT_TRUE(wait_until([&] { return read_all(dir / "err").find("Running") != std::string::npos; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(kill(pid, signal), 0);
        const Outcome outcome = finish(pid, std::chrono::seconds(120));
        EXPECT_EQ(outcome.exit_code, code) << outcome.err;
        EXPECT_TRUE(std::regex_match(outcome.out,
                                     std::regex("Cancelled after [0-9]+ of 3600 tiles; nothing stored\n")))
            << outcome.out;
    }
}

TEST_F(CliEndToEnd, CustomRunsAreNeverSavedToTheHistory) {
    use_copy_of_binary();
    const Outcome outcome =
        run({"--single", "--width", "16", "--height", "9", "--samples", "1", "--depth", "2"});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "history.json"));
    EXPECT_EQ(outcome.out.find("Leaderboard:"), std::string::npos) << "custom runs are not submitted";
}

TEST_F(CliEndToEnd, HistoryListsTheStoredRunsBesideTheBinaryNewestFirst) {
    use_copy_of_binary();
    std::ofstream(dir / "history.json") << R"({"runs": [
        {"date": "2026-01-01T10:00:00", "cpu": "Test CPU", "type": "single", "score": 900, "time_seconds": 133.3, "threads": 1},
        {"date": "2026-01-02T10:00:00", "cpu": "Test CPU", "type": "multi", "score": 4100, "time_seconds": 29.2, "threads": 8},
        {"date": "2026-01-03T10:00:00", "cpu": "Test CPU", "type": "single", "score": 1200, "time_seconds": 100.0, "threads": 1}
    ]})";
    const Outcome outcome = run({"--history"});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;

    const std::size_t newest = outcome.out.find("2026-01-03");
    const std::size_t oldest = outcome.out.find("2026-01-01");
    ASSERT_NE(newest, std::string::npos) << outcome.out;
    ASSERT_NE(oldest, std::string::npos) << outcome.out;
    EXPECT_LT(newest, oldest);
    EXPECT_NE(outcome.out.find("Best single-core: 1200"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("Best multi-core:  4100"), std::string::npos) << outcome.out;
}

TEST_F(CliEndToEnd, InfoPrintsEveryLabelOfTheSystemPanel) {
    const Outcome outcome = run({"--info"});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    for (const char* label : {"CPU", "Cores", "Freq", "L1", "L2", "L3", "GPU", "VRAM", "RAM", "OS", "PC"})
        EXPECT_NE(("\n" + outcome.out).find(std::string("\n") + label + " "), std::string::npos) << label;
}

TEST_F(CliEndToEnd, NoSubmitSendsNothingAndASubmittedRunSaysWhereItStands) {
    // The tiny runs score far above what a real run could.
    LeaderboardServerProcess server({.extra_args = {"--max-score-per-thread", "10000000"}});
    use_copy_of_e2e_program(server);
    const Outcome kept = run({"--no-submit"});
    ASSERT_EQ(kept.exit_code, 0) << kept.err;
    const std::string history_line = "History: " + (dir / "history.json").string() + "\n";
    EXPECT_NE(kept.out.find(history_line), std::string::npos) << kept.out;
    EXPECT_NE(kept.out.find("Leaderboard: not submitted (--no-submit)"), std::string::npos) << kept.out;
    EXPECT_NE(read_all(dir / "history.json").find("\"type\": \"multi\""), std::string::npos);
    EXPECT_EQ(logged(server, "/api.php"), 0u) << "no request at all\n" << server.log_text();
    EXPECT_EQ(kept.out.find("Where you stand"), std::string::npos) << "nothing sent, no standing";

    // The same server does see a run submitted without the flag, and says where it stands.
    const Outcome sent = run({"--single"});
    ASSERT_EQ(sent.exit_code, 0) << sent.err;
    EXPECT_EQ(logged(server, "POST /api.php"), 1u) << server.log_text();
    EXPECT_TRUE(std::regex_search(sent.out, std::regex("\nWhere you stand: faster than 50 % of 1 run of .+ \\(median "
                                                       "[0-9]+, p10–p90 [0-9]+–[0-9]+\\); #1 of 1 processor\n")))
        << sent.out;

    // In JSON the run's object carries it; the line goes with the notes.
    const Outcome json = run({"--single", "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    const std::vector<std::string> lines = lines_of(json.out);
    ASSERT_EQ(lines.size(), 1u) << json.out;
    const auto standing = nlohmann::json::parse(lines[0])["standing"];
    EXPECT_EQ(standing["runs"], 2) << lines[0];
    EXPECT_EQ(standing["rank"], 1);
    EXPECT_EQ(standing["histogram"]["counts"].size() + 1, standing["histogram"]["edges"].size());
    EXPECT_NE(json.err.find("Where you stand: "), std::string::npos) << json.err;
}

// --leaderboard: the standings with the own processor marked and the mark explained, an empty type as
// "No runs yet"; with no server to reach, each type's error in place of "No data yet", and exit 1.
TEST_F(CliEndToEnd, LeaderboardShowsTheStandingsOrWhyNot) {
    LeaderboardServerProcess server;
    const std::string own = probe_system_info().cpu_name;
    ASSERT_FALSE(own.empty());
    http_post_json(
        endpoint_of(server), "/api.php",
        nlohmann::json{{"cpu_name", own}, {"score", 1234}, {"threads", 1}, {"type", "single"}}.dump());
    use_copy_of_e2e_program(server);

    const Outcome shown = run({"--leaderboard"});
    EXPECT_EQ(shown.exit_code, 0) << shown.err;
    EXPECT_NE(shown.out.find(">    1  " + own), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("> your processor"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Multi-Core\n  No runs yet\n"), std::string::npos) << shown.out;
    // The page's address under the tables; the test server's CA is no browser's.
    EXPECT_NE(shown.out.find("\nOn the web: https://" + server.host() + ":" + std::to_string(server.port()) +
                             "/\n  A browser does not know"),
              std::string::npos)
        << shown.out;

    setenv("VORNMARK_LEADERBOARD_URL", ("https://" + server.host() + ":1").c_str(), 1);
    const Outcome unreachable = run({"--leaderboard"});
    EXPECT_EQ(unreachable.exit_code, 1);
    const std::string why =
        "Could not fetch the standings: HttpSendRequest failed: connection refused (" + server.host() + ":1)";
    EXPECT_NE(unreachable.out.find("Single-Core\n  " + why), std::string::npos) << unreachable.out;
    EXPECT_NE(unreachable.out.find("Multi-Core\n  " + why), std::string::npos) << unreachable.out;
    EXPECT_EQ(unreachable.out.find("No data yet"), std::string::npos);
}

TEST_F(CliEndToEnd, RunThatCannotBeSavedSaysWhyAndLeavesTheFileAlone) {
    LeaderboardServerProcess server;
    use_copy_of_e2e_program(server);
    const std::filesystem::path file = dir / "history.json";
    const std::string old_text = R"({"runs": [{"type": "single", "score": 5}]})";
    std::ofstream(file) << old_text;
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);

    const Outcome outcome = run({"--single", "--no-submit"});
    EXPECT_EQ(outcome.exit_code, 1) << outcome.err;
    EXPECT_NE(outcome.out.find("single  score "), std::string::npos) << "the result is still shown";
    EXPECT_EQ(outcome.out.find("History: " + file.string() + "\n"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("History: the run could not be saved ("), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("read-only"), std::string::npos) << outcome.out;
    EXPECT_EQ(read_all(file), old_text);
}

TEST_F(CliEndToEnd, HistoryThatCannotBeReadSaysSoAndNamesTheCopy) {
    use_copy_of_binary();
    std::ofstream(dir / "history.json") << R"({"runs": [{"score": "not a number"}]})";
    const Outcome broken = run({"--history"});
    EXPECT_EQ(broken.exit_code, 1);
    EXPECT_EQ(broken.out.find("No results yet"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("could not be read"), std::string::npos) << broken.out;
    std::vector<std::string> copies;
    for (const auto& item : std::filesystem::directory_iterator(dir)) {
        if (item.path().filename().string().rfind("history.json.unreadable-", 0) == 0)
            copies.push_back(item.path().string());
    }
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_NE(broken.out.find("kept as " + copies[0] + "."), std::string::npos) << broken.out;

    std::filesystem::remove(dir / "history.json");
    std::filesystem::create_directory(dir / "history.json");
    const Outcome directory = run({"--history"});
    EXPECT_EQ(directory.exit_code, 1) << directory.err;
    EXPECT_NE(directory.out.find("could not be read (it is a directory"), std::string::npos) << directory.out;
}

TEST_F(CliEndToEnd, PresetImageIsVerifiedAndAWrongOneIsRefusedWithExit3) {
    LeaderboardServerProcess server;
    use_copy_of_e2e_program(server);
    const Outcome right = run({"--single", "--no-submit"});
    ASSERT_EQ(right.exit_code, 0) << right.err;
    EXPECT_NE(right.out.find("\nVerified\n"), std::string::npos) << right.out;

    // Tile 1 corrupted after it is rendered, as a faulty core would.
    setenv("VORNMARK_TEST_FAULT_TILE", "1", 1);
    const std::string history_before = read_all(dir / "history.json");
    const Outcome wrong = run({"--json"});
    unsetenv("VORNMARK_TEST_FAULT_TILE");
    EXPECT_EQ(wrong.exit_code, 3) << wrong.err;
    const std::vector<std::string> lines = lines_of(wrong.out);
    ASSERT_EQ(lines.size(), 1u) << "the runs end at the first wrong image\n" << wrong.out;
    const auto object = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(object["verified"], false);
    EXPECT_TRUE(object["score"].is_null()) << "no score for a wrong image";
    EXPECT_GT(object["time_seconds"].get<double>(), 0.0) << "the time is kept for diagnosis";
    EXPECT_EQ(object["image_sha256"].get<std::string>().size(), 64u);
    EXPECT_NE(wrong.err.find(
                  "Image mismatch: this machine computed a wrong image (unstable overclock, faulty memory "
                  "or a broken build)"),
              std::string::npos)
        << wrong.err;
    EXPECT_NE(wrong.err.find("Wrong tiles: tile 1 (worker 0)"), std::string::npos) << wrong.err;
    EXPECT_EQ(read_all(dir / "history.json"), history_before) << "neither stored";
    EXPECT_EQ(logged(server, "POST /api.php"), 0u) << "nor submitted\n" << server.log_text();

    setenv("VORNMARK_TEST_FAULT_TILE", "1", 1);
    const Outcome text = run({"--single"});
    unsetenv("VORNMARK_TEST_FAULT_TILE");
    EXPECT_EQ(text.exit_code, 3) << text.err;
    EXPECT_NE(text.out.find("single  no valid score  time "), std::string::npos) << text.out;
    EXPECT_FALSE(std::regex_search(text.out, std::regex("score -?[0-9]"))) << "no score line\n" << text.out;
}

TEST_F(CliEndToEnd, CustomRunPrintsItsDigestWithNothingToVerify) {
    const Outcome outcome =
        run({"--width", "16", "--height", "8", "--samples", "1", "--threads", "1", "--json"});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    const auto object = nlohmann::json::parse(lines_of(outcome.out).at(0));
    EXPECT_TRUE(object["verified"].is_null());
    const std::string digest = object["image_sha256"];
    EXPECT_EQ(digest.size(), 64u);
    EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << digest;
}

TEST_F(CliEndToEnd, RepeatedRunsEndWithTheirSummary) {
    const Outcome outcome =
        run({"--width", "16", "--height", "8", "--samples", "1", "--threads", "1", "--runs", "3", "--json"});
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    const std::vector<std::string> lines = lines_of(outcome.out);
    ASSERT_EQ(lines.size(), 4u) << outcome.out;
    std::vector<std::int64_t> scores;
    for (int i = 0; i < 3; ++i)
        scores.push_back(nlohmann::json::parse(lines[static_cast<std::size_t>(i)])["score"]);
    std::sort(scores.begin(), scores.end());
    const auto summary = nlohmann::json::parse(lines[3]);
    EXPECT_EQ(summary["runs"], 3);
    EXPECT_EQ(summary["median_score"].get<double>(), static_cast<double>(scores[1]));
    EXPECT_EQ(summary["min_score"], scores[0]);
    EXPECT_EQ(summary["max_score"], scores[2]);
    EXPECT_NEAR(summary["spread_percent"].get<double>(),
                static_cast<double>(scores[2] - scores[0]) / static_cast<double>(scores[1]) * 100.0, 1e-9);
    EXPECT_GE(summary["rsd_percent"].get<double>(), 0.0);
}

TEST_F(CliEndToEnd, StabilityTestCatchesACorruptedTileAndExits3) {
    LeaderboardServerProcess server;
    use_copy_of_e2e_program(server);
    const Outcome healthy = run({"--minutes", "0.02", "--json"});
    ASSERT_EQ(healthy.exit_code, 0) << healthy.err;
    const auto report = nlohmann::json::parse(lines_of(healthy.out).at(0));
    EXPECT_EQ(report["errors"], 0);
    EXPECT_GT(report["tiles_checked"].get<std::int64_t>(), 0);
    EXPECT_EQ(report["compared_with_known_image"], true);
    EXPECT_GT(report["first_minute_work_per_second"].get<double>(), 0.0);
    EXPECT_TRUE(report["last_minute_work_per_second"].is_number());

    setenv("VORNMARK_TEST_FAULT_TILE", "2", 1);
    const Outcome faulty = run({"--minutes", "0.02"});
    unsetenv("VORNMARK_TEST_FAULT_TILE");
    EXPECT_EQ(faulty.exit_code, 3) << faulty.err;
    EXPECT_NE(faulty.out.find("Wrong tiles: tile 2 (worker "), std::string::npos) << faulty.out;
    EXPECT_NE(faulty.out.find("tiles/s over the whole "), std::string::npos) << "not a \"first minute\"";
    EXPECT_FALSE(std::filesystem::exists(dir / "history.json"));
}

TEST_F(CliEndToEnd, RunsAndMinutesRefuseBadValues) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--runs", "0"},
                                                 {"--runs", "x"},
                                                 {"--minutes", "0"},
                                                 {"--minutes", "nan"},
                                                 {"--minutes", "-1"},
                                                 {"--minutes", "1", "--runs", "2"},
                                                 {"--history", "--runs", "2"}}) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.exit_code, 2) << args[0] << " " << args[1];
        EXPECT_TRUE(outcome.out.empty());
    }
}

TEST_F(CliEndToEnd, LeaderboardChosenAtRunTimeIsUsedAndNamedByInfo) {
    LeaderboardServerProcess server;
    const std::string user_file = (dir / "config" / "vornmark" / "vornmark.conf").string();
    std::filesystem::create_directories(dir / "config" / "vornmark");
    std::ofstream(user_file) << "leaderboard_url = " << server.url()
                             << "\nleaderboard_ca = " << server.ca_file() << "\n";
    struct Case {
        std::vector<std::string> flags;
        bool environment;
        std::string source;
    };
    for (const Case& c : {Case{{"--leaderboard-url", server.url(), "--leaderboard-ca", server.ca_file()},
                               true,
                               "set by --leaderboard-url"},
                          Case{{}, true, "set by the environment variable VORNMARK_LEADERBOARD_URL"},
                          Case{{}, false, "set in " + user_file}}) {
        if (c.environment) {
            setenv("VORNMARK_LEADERBOARD_URL", server.url().c_str(), 1);
            setenv("VORNMARK_LEADERBOARD_CA", server.ca_file().c_str(), 1);
        } else {
            unsetenv("VORNMARK_LEADERBOARD_URL");
            unsetenv("VORNMARK_LEADERBOARD_CA");
        }
        std::vector<std::string> args = c.flags;
        args.push_back("--info");
        const Outcome info = run(args);
        EXPECT_EQ(info.exit_code, 0) << info.err;
        EXPECT_NE(info.out.find("\nLeaderboard " + server.url() + " (" + c.source + "; CA file " +
                                server.ca_file() + ")\n"),
                  std::string::npos)
            << info.out;

        const std::size_t fetched = logged(server, "GET /api.php?type=single");
        args.back() = "--leaderboard";
        const Outcome standings = run(args);
        EXPECT_EQ(standings.exit_code, 0) << standings.err;
        EXPECT_EQ(logged(server, "GET /api.php?type=single"), fetched + 1) << c.source;
    }
}

// With no leaderboard set anywhere and none in the build: a run is stored and ends with 0, one line
// says there is no leaderboard and how to set one, nothing is sent; --leaderboard says the same
// line and exits with 1; --info says it too.
TEST_F(CliEndToEnd, WithoutALeaderboardRunsAreStoredAndOneLineSaysHowToSetOne) {
    LeaderboardServerProcess server;
    use_copy_of_e2e_program(server);
    unsetenv("VORNMARK_LEADERBOARD_URL");
    unsetenv("VORNMARK_LEADERBOARD_CA");
    const Outcome info = run({"--info"});
    EXPECT_EQ(info.exit_code, 0) << info.err;
    if (info.out.find("(built-in default)") != std::string::npos ||
        info.out.find("(set in /etc/vornmark/vornmark.conf") != std::string::npos)
        GTEST_SKIP() << "this build or machine sets a leaderboard";
    const std::string line =
        "No leaderboard set. To use one, add the line \"leaderboard_url = https://HOST:PORT\" to " +
        (dir / "config" / "vornmark" / "vornmark.conf").string() +
        " (the README's \"Pointing the program at your server\" says more).\n";
    EXPECT_NE(info.out.find("\n" + line), std::string::npos) << info.out;

    const Outcome ran = run({"--single"});
    EXPECT_EQ(ran.exit_code, 0) << ran.err;
    EXPECT_EQ(ran.err.find(line), ran.err.rfind(line)) << "said once";
    EXPECT_NE(ran.err.find(line), std::string::npos) << ran.err;
    EXPECT_NE(ran.out.find("History: " + (dir / "history.json").string() + "\n"), std::string::npos)
        << ran.out;
    EXPECT_NE(ran.out.find("Leaderboard: not submitted (no leaderboard set)"), std::string::npos) << ran.out;
    EXPECT_EQ(logged(server, "/api.php"), 0u) << server.log_text();

    const Outcome standings = run({"--leaderboard"});
    EXPECT_EQ(standings.exit_code, 1);
    EXPECT_EQ(standings.out, "");
    EXPECT_EQ(standings.err, line);
}

TEST_F(CliEndToEnd, MalformedLeaderboardSettingExits2BeforeAnythingRuns) {
    LeaderboardServerProcess server;
    use_copy_of_e2e_program(server);
    setenv("VORNMARK_LEADERBOARD_URL", "http://127.0.0.1:1", 1);
    const std::string reason =
        "VORNMARK_LEADERBOARD_URL 'http://127.0.0.1:1' is not a leaderboard URL: plain http";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--single"}, {"--leaderboard"}}) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.exit_code, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err.rfind("vornmark-cli: " + reason, 0), 0u) << outcome.err;
        EXPECT_EQ(lines_of(outcome.err).size(), 1u) << outcome.err;
    }
    const Outcome info = run({"--info"});
    EXPECT_EQ(info.exit_code, 2);
    EXPECT_NE(info.out.find("\nLeaderboard refused: " + reason), std::string::npos) << info.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "history.json")) << "no run took place";

    // A run that sends nothing does not need the leaderboard.
    const Outcome kept = run({"--single", "--no-submit"});
    EXPECT_EQ(kept.exit_code, 0) << kept.err;
    EXPECT_EQ(logged(server, "/api.php"), 0u) << server.log_text();
}

TEST(ScalingSteps, PowersOfTwoThenEveryThread) {
    using Steps = std::vector<std::int32_t>;
    EXPECT_EQ(scaling_steps(0), Steps({1}));
    EXPECT_EQ(scaling_steps(1), Steps({1}));
    EXPECT_EQ(scaling_steps(2), Steps({1, 2}));
    EXPECT_EQ(scaling_steps(6), Steps({1, 2, 4, 6}));
    EXPECT_EQ(scaling_steps(8), Steps({1, 2, 4, 8}));
}

// Tiny steps (the end-to-end program shrinks the preset's image): the steps and columns, never
// their times.
TEST_F(CliEndToEnd, ScalingPrintsOneRowPerStepAndTheTableAsJson) {
    program = VORNMARK_CLI_E2E_PATH;
    const std::vector<std::int32_t> steps =
        scaling_steps(static_cast<std::int32_t>(std::thread::hardware_concurrency()));
    const Outcome text = run({"--scaling"});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    const std::vector<std::string> lines = lines_of(text.out);
    ASSERT_EQ(lines.size(), 2 + steps.size()) << text.out;
    EXPECT_EQ(lines[1], scaling_heading());
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_TRUE(std::regex_match(
            lines[2 + i],
            std::regex(" *" + std::to_string(steps[i]) + " +[0-9.]+ s +[0-9.]+ +[0-9]+% +(-|[0-9.]+%) +.*")))
            << lines[2 + i];

    const Outcome json = run({"--scaling", "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    const auto table = nlohmann::json::parse(json.out)["scaling"];
    EXPECT_EQ(table["samples"], 4) << "the end-to-end program's tiny preset";
    ASSERT_EQ(table["steps"].size(), steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& step = table["steps"][i];
        EXPECT_EQ(step["threads"], steps[i]);
        for (const char* column : {"time_seconds", "speedup", "efficiency"})
            EXPECT_TRUE(step[column].is_number()) << step;
        EXPECT_EQ(step["tail_percent"].is_number(), steps[i] > 1) << step;
        EXPECT_EQ(step["conditions"]["tail_percent"], step["tail_percent"]) << step;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "history.json"));
}

TEST_F(CliEndToEnd, ScalingIsRefusedWithRunsOrMinutesAndCanBeCancelled) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--scaling", "--runs", "2"}, {"--minutes", "1", "--scaling"}}) {
        const Outcome refused = run(args);
        EXPECT_EQ(refused.exit_code, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(lines_of(refused.err).size(), 1u) << refused.err;
    }
    // The product's own first step lasts seconds at least.
    const pid_t pid = spawn({"--scaling"});
    EXPECT_TRUE(wait_until([&] { return read_all(dir / "out").find("threads") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(kill(pid, SIGINT), 0);
    const Outcome cancelled = finish(pid, std::chrono::seconds(120));
    EXPECT_EQ(cancelled.exit_code, 130) << cancelled.err;
    EXPECT_NE(cancelled.out.find("Cancelled after"), std::string::npos) << cancelled.out;
}

TEST_F(CliEndToEnd, WaitQuietBesideASpinningProcessGivesUpAndStartsAnyway) {
    for (const char* bad : {"--wait-quiet=soon", "--wait-quiet=-1"})
        EXPECT_EQ(run({bad, "--threads", "1", "--width", "16", "--height", "8", "--samples", "1"}).exit_code,
                  2)
            << bad;

    const pid_t spinner = fork();
    ASSERT_GE(spinner, 0);
    if (spinner == 0)
        for (;;) {
        }
    const Outcome outcome =
        run({"--wait-quiet=3", "--threads", "1", "--width", "16", "--height", "8", "--samples", "1"});
    kill(spinner, SIGKILL);
    waitpid(spinner, nullptr, 0);
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
    const std::vector<std::string> lines = lines_of(outcome.out);
    ASSERT_GE(lines.size(), 3u) << outcome.out;
    EXPECT_EQ(lines[0], "Waiting up to 3 s until other programs use under 2 % of the processor over 2 s...");
    EXPECT_EQ(lines[1].rfind("Gave up waiting after ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("single (custom)  score ", 0), 0u) << lines[2];
}

}  // namespace vornmark::cli
