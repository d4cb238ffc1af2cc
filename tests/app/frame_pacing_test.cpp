#include "app/frame_pacing.h"

#include <gtest/gtest.h>

TEST(FramePacer, WaitsOutTheRestOfTheRefreshIntervalAndFallsBackTo60Hz) {
    struct Case {
        double refresh_hz;
        double spent;  // seconds from the frame's start to after its swap
        double rest;
    };
    const Case cases[] = {
        {60.0, 0.004, 1.0 / 60.0 - 0.004},  // a swap that did not wait for the display
        {60.0, 0.020, 0.0},                 // a frame that already took longer
        {0.0, 0.0, 1.0 / 60.0},             // refresh unknown
        {-1.0, 0.010, 1.0 / 60.0 - 0.010},
        {144.0, 0.002, 1.0 / 144.0 - 0.002},
        {60.0, -5.0, 1.0 / 60.0},  // a clock step backwards sleeps one interval at most
    };
    for (const Case& c : cases) {
        const FramePacer pacer(c.refresh_hz);
        EXPECT_NEAR(pacer.rest_of_interval(10.0, 10.0 + c.spent), c.rest, 1e-12)
            << c.refresh_hz << " Hz, " << c.spent;
    }
}

TEST(FramePacer, DrawsContinuouslyOnlyDuringARunAndBrieflyAfterAnEvent) {
    FramePacer pacer(60.0);
    EXPECT_FALSE(pacer.draws_continuously(false));
    EXPECT_TRUE(pacer.draws_continuously(true));

    pacer.frame_drawn(true, 1.0);
    for (int i = 0; i < FramePacer::frames_after_event; ++i) {
        EXPECT_TRUE(pacer.draws_continuously(false)) << i;
        pacer.frame_drawn(false, 1.0);
    }
    EXPECT_FALSE(pacer.draws_continuously(false));
    // The idle wait never outlasts the CPU graph's sampling interval.
    EXPECT_LE(FramePacer::idle_wait_seconds, 0.5);
}

TEST(FramePacer, IdleFramesOnlyForEventsBackgroundRequestsOrAfterTwoSeconds) {
    FramePacer pacer(60.0);
    pacer.frame_drawn(false, 10.0);
    EXPECT_FALSE(pacer.idle_frame_due(false, 0, 10.5));
    EXPECT_TRUE(pacer.idle_frame_due(true, 0, 10.5));
    EXPECT_TRUE(pacer.idle_frame_due(false, 1, 11.0)) << "a request pending";
    EXPECT_TRUE(pacer.idle_frame_due(false, 0, 11.5)) << "its outcome arrived";
    EXPECT_FALSE(pacer.idle_frame_due(false, 0, 11.9));
    EXPECT_TRUE(pacer.idle_frame_due(false, 0, 12.0));
}

TEST(FramePacer, DuringARunCostlyFramesArePacedToTheirShareOfTheTime) {
    const FramePacer pacer(60.0);
    // A cheap frame keeps the display's rate; one of 10 ms waits out 1 s in all.
    EXPECT_NEAR(pacer.rest_of_run_interval(5.0, 5.0001), 1.0 / 60.0 - 0.0001, 1e-9);
    EXPECT_NEAR(pacer.rest_of_run_interval(5.0, 5.010), 0.010 / FramePacer::run_busy_share - 0.010, 1e-9);
}
