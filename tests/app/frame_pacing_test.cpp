#include "app/frame_pacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace vornmark::app {

namespace {

// The frame loop on a made-up clock: a wait ends early only for scheduled input, and each
// frame takes frame_wall seconds (a swap that waits for the display takes a whole refresh
// interval) and costs frame_cpu seconds of processor time.
struct FakeLoop {
    FramePacer pacer{60.0, 2};
    double now = 100.0;
    double cpu = 5.0;
    bool running = true;
    std::int32_t requests = 0;
    double frame_wall = 0.001;
    double frame_cpu = 0.0002;
    std::vector<std::pair<double, InputSeen>> inputs;  // in time order, taken as they arrive
    std::vector<double> frames;                        // start times
    std::vector<double> waits;

    void run_until(double end) {
        while (now < end) {
            InputSeen seen = InputSeen::none;
            while (!inputs.empty() && inputs.front().first <= now) {
                seen = std::max(seen, inputs.front().second);
                inputs.erase(inputs.begin());
            }
            const double wait = pacer.wait_before_frame({now, cpu, running, seen, requests});
            if (wait > 0.0) {
                waits.push_back(wait);
                now = inputs.empty() ? now + wait : std::min(now + wait, inputs.front().first);
                continue;
            }
            frames.push_back(now);
            pacer.frame_drawn(now);
            now += frame_wall;
            cpu += frame_cpu;
        }
    }
    void run_frames(std::size_t count) {
        const std::size_t target = frames.size() + count;
        while (frames.size() < target) run_until(now + 0.001);
    }
    std::size_t frames_between(double from, double to) const {
        return static_cast<std::size_t>(
            std::count_if(frames.begin(), frames.end(), [&](double t) { return t >= from && t < to; }));
    }
    double longest_gap() const {
        double gap = 0.0;
        for (std::size_t i = 1; i < frames.size(); ++i) gap = std::max(gap, frames[i] - frames[i - 1]);
        return gap;
    }
};

TEST(FramePacer, DuringARunWaitingForTheDisplayIsFreeAndCostlyFramesAreSpacedByTheirCost) {
    const double budget = FramePacer::run_machine_share * 2;  // two hardware threads
    struct Case {
        const char* what;
        double frame_wall;
        double frame_cpu;
        double expected_spacing;
    };
    const Case cases[] = {
        {"vsync honoured, cheap frame", 1.0 / 60.0, 0.0003, 1.0 / 60.0},
        {"no vsync, cheap frame", 0.0005, 0.0003, 1.0 / 60.0},
        {"software renderer", 0.004, 0.004, 0.004 / budget},
        {"very costly frames keep the minimum rate", 0.050, 0.050, FramePacer::max_run_interval},
    };
    for (const Case& c : cases) {
        FakeLoop loop;
        loop.frame_wall = c.frame_wall;
        loop.frame_cpu = c.frame_cpu;
        loop.run_until(130.0);
        ASSERT_GT(loop.frames.size(), 20u) << c.what;
        // After the first second (a burst allowance), the frames come at a steady pace.
        const std::size_t settled = loop.frames_between(101.0, 130.0);
        EXPECT_NEAR(29.0 / settled, c.expected_spacing, c.expected_spacing * 0.05) << c.what;
        EXPECT_LE(loop.longest_gap(), FramePacer::max_run_interval + c.frame_wall + 1e-9) << c.what;
        // Within the budget, unless the minimum rate asks for more.
        const double allowed = std::max(budget, c.frame_cpu / FramePacer::max_run_interval);
        EXPECT_LE(settled * c.frame_cpu / 29.0, allowed * 1.05) << c.what;
    }
}

TEST(FramePacer, AClickOrKeyEndsAPauseAtOnceAndPointerMovesWaitForTheBudget) {
    for (const InputSeen input : {InputSeen::action, InputSeen::pointer}) {
        FakeLoop loop;
        loop.frame_cpu = loop.frame_wall = 0.050;  // costly: paused for the minimum rate's interval
        loop.run_until(110.0);
        loop.run_frames(1);
        const double input_time = loop.now + 0.05;
        loop.inputs = {{input_time, input}};
        loop.run_until(loop.frames.back() + FramePacer::max_run_interval - 0.01);
        EXPECT_EQ(loop.frames.back() == input_time, input == InputSeen::action);
    }
}

TEST(FramePacer, IdleStaysIdleWithoutInputAndWakesOftenEnoughToSeeRequests) {
    FakeLoop loop;
    loop.running = false;
    loop.run_until(160.0);
    // One frame at the start, then only the rare safety redraw.
    EXPECT_LE(loop.frames.size(), 1u + 60u / static_cast<std::size_t>(FramePacer::idle_redraw_seconds));
    EXPECT_LE(*std::max_element(loop.waits.begin(), loop.waits.end()), FramePacer::idle_check_seconds);

    // A pointer move: a frame at once and a few to let hover states settle, then quiet.
    loop.inputs = {{163.3, InputSeen::pointer}};
    loop.run_until(164.3);
    EXPECT_EQ(loop.frames_between(163.3, 164.3), 1u + FramePacer::frames_after_input);

    // A pending request keeps frames coming; its end is drawn once more.
    loop.requests = 1;
    loop.run_until(165.3);
    EXPECT_GT(loop.frames_between(164.3, 165.3), 50u);
    loop.requests = 0;
    const std::size_t before = loop.frames.size();
    loop.run_until(166.3);
    EXPECT_EQ(loop.frames.size(), before + 1);
}

TEST(FramePacer, TheStartAndTheEndOfARunAreDrawnAtOnce) {
    FakeLoop loop;
    loop.running = false;
    loop.run_until(105.0);
    loop.running = true;
    const double start = loop.now;
    loop.run_until(start + 0.001);
    EXPECT_EQ(loop.frames.back(), start);
    loop.frame_cpu = loop.frame_wall = 0.050;
    loop.waits.clear();
    loop.run_until(106.0);
    // Costly frames are spaced, but the loop keeps looking for the run's end.
    EXPECT_GT(loop.frames.back() - loop.frames[loop.frames.size() - 2], 0.3);
    EXPECT_LE(*std::max_element(loop.waits.begin(), loop.waits.end()), FramePacer::run_end_check_seconds);
    loop.running = false;
    const double end = loop.now;
    loop.run_until(end + 0.001);
    EXPECT_EQ(loop.frames.back(), end);
}

TEST(FramePacer, FallsBackTo60HzAndNeverDrawsFasterThanTheDisplay) {
    for (const double hz : {0.0, -1.0, 60.0, 144.0}) {
        const FramePacer pacer(hz, 4);
        EXPECT_NEAR(pacer.interval(), 1.0 / (hz > 0.0 ? hz : 60.0), 1e-12) << hz;
    }
    FakeLoop loop;
    loop.frame_wall = 0.0001;
    loop.run_until(101.0);
    EXPECT_LE(loop.frames.size(), 61u);
}

}  // namespace

}  // namespace vornmark::app
