#include "session/run_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/render_image.h"
#include "session/run_texts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"
#include "verify/image_digest.h"

namespace vornmark {

namespace {

// Changes one colour byte of one tile after it is rendered, as a faulty core would.
void corrupt_tile_14(void*, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
    if (tile.index != 14) return;
    pixels[(static_cast<std::size_t>(tile.y) * static_cast<std::size_t>(image_width) +
            static_cast<std::size_t>(tile.x)) *
           4] ^= 0x01;
}

class RunControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The clipped image is known to these tests as if it were a preset.
        controller.set_known_images(
            {known_image_of(clipped_config(), render_image(clipped_config()).data())});
        controller.set_settings(clipped_config());
    }

    // Polls, as a front end does every frame, until the runs are over; the events seen.
    std::vector<RunUpdate> events_until_idle() {
        std::vector<RunUpdate> events;
        EXPECT_TRUE(wait_until([&] {
            RunUpdate update = controller.poll();
            if (update.event != RunEvent::None) events.push_back(std::move(update));
            return !controller.busy();
        }));
        return events;
    }
    // Polls until the run going has rendered a tile.
    void until_a_tile_is_done() {
        ASSERT_TRUE(wait_until([&] {
            const RunUpdate update = controller.poll();
            EXPECT_NE(update.event, RunEvent::Finished) << "the run is meant to be cancelled";
            return update.progress.tiles_done >= 1;
        }));
        // An image without a work table: each finished tile counts as one, the estimate is rough.
        const RunProgress& progress = controller.progress();
        EXPECT_GE(progress.work_done, progress.tiles_done);
        EXPECT_EQ(progress.work_total, progress.tiles_total);
        EXPECT_FALSE(progress.work_weighted);
        const std::optional<TimeLeft> left = estimated_time_left(progress);
        ASSERT_TRUE(left);
        EXPECT_TRUE(left->approximate);
    }
    static std::vector<RunEvent> kinds(const std::vector<RunUpdate>& events) {
        std::vector<RunEvent> seen;
        for (const RunUpdate& update : events) seen.push_back(update.event);
        return seen;
    }

    RunController controller;
};

using enum RunEvent;

// While set, every tile waits before it counts: a real run stays where a test wants it.
std::atomic<bool> tiles_held{false};
void hold_tiles(void*, const Tile&, std::uint8_t*, std::int32_t) {
    while (tiles_held.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Each state, reached by real runs, and what each input makes of it: the event a poll reports (None
// for an input that is not a poll) and the state after. RunEnds lets the held run end, then polls.
TEST(RunControllerStates, EachInputInEachStateLeadsWhereTheTableSays) {
    using enum RunState;
    enum class Input { Poll, Start, Cancel, RunEnds };
    const struct {
        RunState from;
        Input input;
        RunEvent event;
        RunState to;
    } table[] = {
        {Idle, Input::Poll, None, Idle},
        {Idle, Input::Cancel, None, Idle},
        {Idle, Input::Start, None, Running},
        {Running, Input::Poll, None, Running},
        {Running, Input::Start, None, Running},
        {Running, Input::Cancel, None, Cancelling},
        {Running, Input::RunEnds, Finished, Waiting},
        {Cancelling, Input::Poll, None, Cancelling},
        {Cancelling, Input::Cancel, None, Cancelling},
        {Cancelling, Input::RunEnds, Cancelled, Idle},
        {Waiting, Input::Poll, Started, Running},
        {Waiting, Input::Start, None, Waiting},
        {Waiting, Input::Cancel, None, CancelledWaiting},
        {CancelledWaiting, Input::Poll, Cancelled, Idle},
        {Refused, Input::Cancel, None, Refused},
        {Refused, Input::Poll, Failed, Idle},
    };
    BenchmarkConfig refused = clipped_config();
    refused.tile_size = 0;
    for (const auto& row : table) {
        SCOPED_TRACE(testing::Message()
                     << static_cast<int>(row.from) << ", input " << static_cast<int>(row.input));
        RunController controller;
        controller.set_settings(clipped_config());
        controller.set_tile_hook(&hold_tiles, nullptr);
        const struct Release {
            ~Release() { tiles_held = false; }  // before the controller waits for its run
        } release;
        // Two runs: the first held (Running), or the first reported and the second to be held.
        const bool hold_first = row.from == Running || row.from == Cancelling;
        if (row.from != Idle && row.from != Refused) {
            tiles_held = hold_first;
            controller.start_sequence({clipped_config(), clipped_config()});
            const RunEvent first = hold_first ? Started : Finished;
            ASSERT_TRUE(wait_until([&] { return controller.poll().event == first; }));
        }
        tiles_held = true;
        if (row.from == Cancelling || row.from == CancelledWaiting) controller.cancel();
        if (row.from == Refused) controller.start_sequence({refused});
        ASSERT_EQ(controller.state(), row.from);

        RunEvent event = None;
        if (row.input == Input::Poll) event = controller.poll().event;
        if (row.input == Input::Start) controller.start(RunKind::Single);
        if (row.input == Input::Cancel) controller.cancel();
        if (row.input == Input::RunEnds) {
            tiles_held = false;
            ASSERT_TRUE(wait_until([&] { return controller.run_has_ended(); }));
            event = controller.poll().event;
        }
        EXPECT_EQ(event, row.event);
        if (event == Cancelled) {  // wherever the cancel came, the progress says so, without a time
            EXPECT_EQ(controller.progress().ended, Cancelled);
            EXPECT_EQ(controller.progress().seconds, 0.0);
        }
        EXPECT_EQ(controller.state(), row.to);
        EXPECT_EQ(controller.busy(), row.to != Idle);
    }
}

TEST_F(RunControllerTest, RunIsStartedFinishedCheckedAndReportedOnce) {
    controller.start(RunKind::Single);
    EXPECT_TRUE(controller.busy());
    const std::vector<RunUpdate> events = events_until_idle();
    ASSERT_EQ(kinds(events), (std::vector<RunEvent>{Started, Finished}));
    EXPECT_EQ(events[0].config.threads, 1);
    EXPECT_TRUE(events[0].progress.running);

    const RunUpdate& finished = events[1];
    ASSERT_TRUE(finished.finished);
    const BenchmarkResult& result = finished.finished->result;
    EXPECT_EQ(result.type, RunKind::Single);
    EXPECT_EQ(result.threads, 1);
    EXPECT_EQ(finished.finished->verdict.status, ImageStatus::Verified);
    EXPECT_EQ(finished.index, 0u);
    EXPECT_EQ(finished.count, 1u);

    const RunProgress& progress = controller.progress();
    EXPECT_FALSE(progress.running);
    EXPECT_EQ(progress.ended, Finished);
    EXPECT_EQ(progress.tiles_done, 15);
    EXPECT_EQ(progress.tiles_total, 15);
    EXPECT_EQ(progress.seconds, result.time_seconds) << "the finished run's own time";
    EXPECT_EQ(controller.poll().event, None) << "reported once";
}

TEST_F(RunControllerTest, RunBothAndSequencesStartEachRunAfterTheOneBeforeIsReported) {
    controller.start_both();
    controller.start(RunKind::Single);  // ignored while busy
    std::vector<RunUpdate> events = events_until_idle();
    ASSERT_EQ(kinds(events), (std::vector<RunEvent>{Started, Finished, Started, Finished}));
    EXPECT_EQ(events[1].finished->result.type, RunKind::Single);
    EXPECT_EQ(events[3].index, 1u);
    EXPECT_EQ(events[3].count, 2u);
    EXPECT_TRUE(events[3].run_both);
    EXPECT_EQ(events[3].finished->result.threads, std::max(multi_core_preset().threads, 1));

    // Any settings, as the runner starts them.
    BenchmarkConfig unknown = clipped_config(2);
    unknown.samples = 1;
    controller.start_sequence({clipped_config(1), unknown, clipped_config(3)});
    events = events_until_idle();
    ASSERT_EQ(events.size(), 6u);
    for (std::size_t run = 0; run < 3; ++run) {
        EXPECT_EQ(events[2 * run].event, Started);
        EXPECT_EQ(events[2 * run + 1].event, Finished);
        EXPECT_EQ(events[2 * run + 1].index, run);
    }
    EXPECT_FALSE(events[3].run_both);
    EXPECT_EQ(events[3].finished->verdict.status, ImageStatus::Unchecked) << "nothing known to compare with";
    EXPECT_EQ(events[5].finished->result.threads, 3);
}

// A cancel during a later run of a sequence (the table above has the other places): the run ends
// with the tiles it got done, and nothing follows it.
TEST_F(RunControllerTest, CancelDuringALaterRunEndsTheSequence) {
    controller.start_sequence({clipped_config(), long_config()});
    ASSERT_TRUE(wait_until([&] { return controller.poll().event == Finished; }));
    ASSERT_EQ(controller.poll().event, Started);
    until_a_tile_is_done();
    controller.cancel();
    EXPECT_TRUE(controller.busy()) << "until a poll reports the end";
    // The end is seen without a poll, so that a loop asleep between polls can wake for it.
    EXPECT_TRUE(wait_until([&] { return controller.run_has_ended(); }));
    const std::vector<RunUpdate> events = events_until_idle();
    EXPECT_FALSE(controller.run_has_ended());
    ASSERT_EQ(kinds(events).back(), Cancelled);
    EXPECT_EQ(controller.progress().ended, Cancelled);
    EXPECT_EQ(controller.progress().seconds, 0.0);
    EXPECT_GE(controller.progress().tiles_done, 1);
    EXPECT_LT(controller.progress().tiles_done, 576) << "the rest of the tiles skipped";
    EXPECT_EQ(controller.poll().event, None) << "no run after the cancelled one";
}

TEST_F(RunControllerTest, RefusedRunFailsWithTheReasonUntilTheNextStart) {
    BenchmarkConfig refused = clipped_config();
    refused.tile_size = 0;
    controller.start_sequence({refused, clipped_config()});
    const std::vector<RunUpdate> events = events_until_idle();
    ASSERT_EQ(kinds(events), (std::vector<RunEvent>{Failed}));
    EXPECT_NE(events[0].error.find("tile size"), std::string::npos) << events[0].error;
    EXPECT_EQ(controller.error(), events[0].error);
    EXPECT_EQ(controller.progress().ended, Failed);

    controller.start(RunKind::Single);
    EXPECT_TRUE(controller.error().empty());
    EXPECT_EQ(kinds(events_until_idle()), (std::vector<RunEvent>{Started, Finished}));
}

TEST_F(RunControllerTest, WrongImageIsCaughtAndItsTileNamed) {
    controller.set_tile_hook(&corrupt_tile_14, nullptr);  // the clipped bottom-right tile
    controller.start(RunKind::Multi);
    const std::vector<RunUpdate> events = events_until_idle();
    ASSERT_EQ(kinds(events), (std::vector<RunEvent>{Started, Finished}));
    const FinishedRun& run = *events[1].finished;
    EXPECT_EQ(run.verdict.status, ImageStatus::Mismatch);
    EXPECT_FALSE(run.has_valid_score());
    ASSERT_EQ(run.verdict.wrong_tiles.size(), 1u);
    EXPECT_EQ(run.verdict.wrong_tiles[0].index, 14);
}

}  // namespace

}  // namespace vornmark
