#include "session/run_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "session/run_work.h"
#include "verify/preset_work.h"

namespace vornmark {

namespace {

struct FinishedTile {
    std::int32_t index = 0;
    double seconds = 0.0;  // into the run, on the worker's processor clock
};

// A single-core preset run recorded by `vornmark-preset-work --record 1`: each tile's finish, in the
// order they finished. It was recorded on a shared machine whose other work took three quarters of
// the processor, in a share that wandered, so the finish times are those of the worker's processor
// clock: the run's own time, as on a machine with nothing else to do.
std::vector<FinishedTile> recorded_preset_run() {
    std::ifstream file(VORNMARK_TEST_DATA_DIR "/preset_single_core_run.txt");
    std::vector<FinishedTile> tiles;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        FinishedTile tile;
        std::int32_t worker = 0;
        double wall_seconds = 0.0;
        fields >> tile.index >> worker >> wall_seconds >> tile.seconds;
        tiles.push_back(tile);
    }
    std::sort(tiles.begin(), tiles.end(),
              [](const FinishedTile& a, const FinishedTile& b) { return a.seconds < b.seconds; });
    return tiles;
}

// How far the estimate, made when `share` of the tiles were done, is from the time the run really
// still took: |estimate - truth| / truth. By the work of the tiles done, as a preset run is
// estimated, or by their count alone.
double replayed_error(const std::vector<FinishedTile>& run, double share, bool by_work) {
    RunWork work;
    work.begin(preset_config(1));
    const auto done = static_cast<std::size_t>(std::lround(share * static_cast<double>(run.size())));
    std::vector<std::int32_t> finished;
    for (std::size_t i = 0; i < done; ++i) finished.push_back(run[i].index);
    work.add_finished(finished);
    EXPECT_TRUE(work.weighted());
    const double elapsed = run[done - 1].seconds;
    const std::optional<TimeLeft> left =
        by_work
            ? estimated_time_left(work.done(), work.total(), elapsed, true)
            : estimated_time_left(static_cast<double>(done), static_cast<double>(run.size()), elapsed, false);
    EXPECT_TRUE(left);
    const double truth = run.back().seconds - elapsed;
    return left ? std::fabs(left->seconds - truth) / truth : 1.0;
}

}  // namespace

// The sky at the top of the image is rendered first and is cheap: a count of tiles says far too
// little time is left; the work of the tiles done says nearly the truth.
TEST(TimeLeft, ReplayedPresetRunIsEstimatedFromTheWorkNotTheTileCount) {
    if (!preset_work_known()) GTEST_SKIP() << "this build has no generated work table";
    const std::vector<FinishedTile> run = recorded_preset_run();
    ASSERT_EQ(run.size(), 2040u);
    for (const double share : {0.10, 0.25, 0.50}) {
        SCOPED_TRACE(share);
        EXPECT_LT(replayed_error(run, share, true), 0.15);
    }
    EXPECT_GT(replayed_error(run, 0.10, false), 0.15) << "the tile count alone would do";
}

TEST(TimeLeft, NoneBeforeAnyWorkIsDone) {
    EXPECT_FALSE(estimated_time_left(0.0, 2040.0, 3.0, true));
    EXPECT_FALSE(estimated_time_left(1.0, 0.0, 3.0, true));
    const std::optional<TimeLeft> left = estimated_time_left(510.0, 2040.0, 30.0, true);
    ASSERT_TRUE(left);
    EXPECT_DOUBLE_EQ(left->seconds, 90.0);
    EXPECT_FALSE(left->approximate);
    EXPECT_TRUE(estimated_time_left(510.0, 2040.0, 30.0, false)->approximate);
}

TEST(TimeLeft, ReadsAsMinutesAndSecondsAndHoursPastAnHour) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0.0, "0:00"},         {59.4, "0:59"},    {59.6, "1:00"},
        {425.0, "7:05"},       {3599.4, "59:59"}, {3599.6, "1:00:00"},
        {3729.0, "1:02:09"},   {-3.0, "0:00"},    {std::numeric_limits<double>::quiet_NaN(), "0:00"},
        {1e300, "9999:00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(clock_text(c.seconds), c.text) << c.seconds;
    EXPECT_EQ(time_left_text({425.0, false}), "7:05 left");
    EXPECT_EQ(time_left_text({425.0, true}), "about 7:05 left");
}

// Each front end's line: the window's as its panel shows it, the terminal's as the runner redraws it.
TEST(ProgressText, ShowsDoneOfTotalPercentElapsedAndTimeLeft) {
    constexpr ProgressLayout window = ProgressLayout::Window;
    constexpr ProgressLayout terminal = ProgressLayout::Terminal;
    const struct {
        ProgressLayout layout;
        std::int32_t done, total;
        double seconds;
        std::optional<TimeLeft> left;
        const char* text;
    } cases[] = {
        {window, 510, 2040, 12.5, std::nullopt, "510 / 2040 tiles  |  25.0%  |  12.5s"},
        {window, 0, 0, 0.0, std::nullopt, "0 / 0 tiles  |  0.0%  |  0.0s"},
        {window, 510, 2040, 12.5, TimeLeft{37.6, false},
         "510 / 2040 tiles  |  25.0%  |  12.5s  |  0:38 left"},
        {terminal, 510, 2040, 30.0, TimeLeft{90.0, false},
         "510/2040 tiles   25.0%  elapsed 30.0 s  1:30 left"},
        {terminal, 510, 2040, 30.0, TimeLeft{4000.0, true},
         "510/2040 tiles   25.0%  elapsed 30.0 s  about 1:06:40 left"},
        {terminal, 0, 2040, 1.5, std::nullopt, "0/2040 tiles    0.0%  elapsed 1.5 s  left --"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(progress_text(c.layout, c.done, c.total, c.seconds, c.left), c.text);
}

}  // namespace vornmark
