#include "cli/options.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace vornmark::cli {

namespace {

ParsedOptions parse(std::vector<std::string> args) {
    return parse_options(args);
}

}  // namespace

TEST(CliOptions, NoArgumentsRunBothPresets) {
    const ParsedOptions parsed = parse({});
    ASSERT_EQ(parsed.error, "");
    EXPECT_FALSE(parsed.options.custom());
    const std::vector<PlannedRun> runs = plan_runs(parsed.options, 8);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].config.threads, 1);
    EXPECT_EQ(runs[1].config.threads, 8);
    for (const PlannedRun& run : runs) {
        EXPECT_FALSE(run.custom);
        EXPECT_EQ(run.config.samples, 128);
        EXPECT_EQ(run.config.width, 1920);
        EXPECT_EQ(run.config.height, 1080);
        EXPECT_EQ(run.config.tile_size, 32);
        EXPECT_EQ(run.config.max_depth, 50);
    }
}

TEST(CliOptions, SingleOrMultiSelectsOnePreset) {
    std::vector<PlannedRun> runs = plan_runs(parse({"--single"}).options, 8);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].config.threads, 1);
    runs = plan_runs(parse({"--multi"}).options, 8);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].config.threads, 8);
}

TEST(CliOptions, MultiOnMachineReportingNoThreadCountUsesOne) {
    const std::vector<PlannedRun> runs = plan_runs(parse({"--multi"}).options, 0);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].config.threads, 1);
}

TEST(CliOptions, DevelopmentSettingsMakeEveryRunCustom) {
    const ParsedOptions parsed =
        parse({"--width", "32", "--height=18", "--samples", "4", "--depth", "3", "--tile", "8"});
    ASSERT_EQ(parsed.error, "");
    const std::vector<PlannedRun> runs = plan_runs(parsed.options, 4);
    ASSERT_EQ(runs.size(), 2u);
    for (const PlannedRun& run : runs) {
        EXPECT_TRUE(run.custom);
        EXPECT_EQ(run.config.width, 32);
        EXPECT_EQ(run.config.height, 18);
        EXPECT_EQ(run.config.samples, 4);
        EXPECT_EQ(run.config.max_depth, 3);
        EXPECT_EQ(run.config.tile_size, 8);
    }
}

TEST(CliOptions, ThreadsGivesExactlyOneCustomRun) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--threads", "3"},
                                                 {"--single", "--threads", "3"},
                                                 {"--multi", "--threads=3"}}) {
        const std::vector<PlannedRun> runs = plan_runs(parse(args).options, 8);
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].config.threads, 3);
        EXPECT_TRUE(runs[0].custom);
        EXPECT_EQ(runs[0].config.width, 1920);
    }
}

TEST(CliOptions, JsonImageNoSubmitAndHelp) {
    const ParsedOptions parsed = parse({"--json", "--image", "out.PNG", "--no-submit", "--help"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.json);
    EXPECT_TRUE(parsed.options.no_submit);
    EXPECT_FALSE(parse({}).options.no_submit);
    EXPECT_TRUE(parsed.options.help);
    EXPECT_EQ(parsed.options.image_path, "out.PNG");
    EXPECT_FALSE(parsed.options.custom());
}

TEST(CliOptions, BadArgumentsGiveOneLineNamingThem) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const Case cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"single"}, "single"},
        {{"--width"}, "--width"},
        {{"--width", "abc"}, "--width"},
        {{"--width", "12px"}, "--width"},
        {{"--width", "0"}, "--width"},
        {{"--height", "-5"}, "--height"},
        {{"--samples", "99999999999"}, "--samples"},
        {{"--depth", "1001"}, "--depth"},
        {{"--tile", ""}, "--tile"},
        {{"--threads", "0"}, "--threads"},
        {{"--image", "out.jpg"}, "--image"},
        {{"--image"}, "--image"},
        {{"--json=yes"}, "--json"},
        {{"--no-submit=1"}, "--no-submit"},
        {{"--single", "--multi"}, "--single"},
        {{"--width", "32768", "--height", "32768"}, "--width"},
        {{"--leaderboard-url"}, "--leaderboard-url"},
        {{"--leaderboard-url", "http://bench.example.org"}, "--leaderboard-url 'http://bench.example.org'"},
        {{"--leaderboard-ca", "/etc/hostname"}, "--leaderboard-ca is set without a leaderboard URL"},
        {{"--leaderboard-url=https://b.example", "--leaderboard-ca=/no/such.pem"}, "--leaderboard-ca"},
        {{"--history", "--leaderboard-url", "https://b.example"}, "--history"},
    };
    for (const Case& c : cases) {
        const ParsedOptions parsed = parse(c.args);
        EXPECT_NE(parsed.error.find(c.named), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(CliOptions, LeaderboardFlagsGoWithRunsInfoAndLeaderboard) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--leaderboard-url", "https://bench.example.org:8443"},
          {"--info", "--leaderboard-url=https://bench.example.org:8443"},
          {"--leaderboard", "--leaderboard-url", "https://bench.example.org:8443"}}) {
        const ParsedOptions parsed = parse(args);
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.options.leaderboard.url, "https://bench.example.org:8443");
    }
    // A CA file where the transport takes one (Windows trusts its own certificate store).
    const TempDir dir;
    std::ofstream(dir.file("ca.pem")) << "-----BEGIN CERTIFICATE-----\n";
    const ParsedOptions with_ca =
        parse({"--leaderboard-url", "https://b.example", "--leaderboard-ca", dir.file("ca.pem")});
    EXPECT_EQ(with_ca.error.empty(), platform_takes_ca_file()) << with_ca.error;
}

TEST(CliOptions, RangeErrorsSayWhatIsAccepted) {
    EXPECT_NE(parse({"--depth", "0"}).error.find("1 to 1000"), std::string::npos);
    EXPECT_NE(parse({"--nope"}).error.find("--threads"), std::string::npos);
}

TEST(CliOptions, InfoHistoryAndLeaderboardAreCommandsOfTheirOwn) {
    EXPECT_EQ(parse({"--info"}).options.command, Command::Info);
    EXPECT_EQ(parse({"--history"}).options.command, Command::History);
    EXPECT_EQ(parse({"--leaderboard"}).options.command, Command::Leaderboard);
    EXPECT_EQ(parse({}).options.command, Command::Run);
}

TEST(CliOptions, CommandsRefuseRunOptionsAndEachOther) {
    EXPECT_NE(parse({"--info", "--history"}).error, "");
    EXPECT_NE(parse({"--history", "--single"}).error, "");
    EXPECT_NE(parse({"--leaderboard", "--json"}).error, "");
    EXPECT_NE(parse({"--history", "--no-submit"}).error, "");
    EXPECT_NE(parse({"--info", "--samples", "4"}).error, "");
    EXPECT_NE(parse({"--info=yes"}).error, "");
}

TEST(CliOptions, UsageListsExactlyTheAcceptedOptions) {
    const std::string error = parse({"--nope"}).error;
    const std::string accepted = error.substr(error.find("accepted: ") + 10);
    const std::string usage = usage_text();
    std::size_t listed = 0;
    for (std::size_t at = 0; at < accepted.size();) {
        const std::size_t end = std::min(accepted.find(", ", at), accepted.size());
        const std::string name = accepted.substr(at, end - at);
        // "--name VALUE", or "--name[=VALUE]" for a value that may be left out.
        EXPECT_TRUE(usage.find("\n  " + name + " ") != std::string::npos ||
                    usage.find("\n  " + name + "[=") != std::string::npos)
            << name;
        ++listed;
        at = end + 2;
    }
    std::size_t lines = 0;
    for (std::size_t at = usage.find("\n  --"); at != std::string::npos; at = usage.find("\n  --", at + 1))
        ++lines;
    EXPECT_EQ(listed, lines) << "each option on one line of its own";
}

}  // namespace vornmark::cli
