#include "session/stop_signal.h"

#include <gtest/gtest.h>

#include <csignal>

namespace vornmark {

TEST(StopSignal, FirstSignalIsKeptAndTheNextOneGetsTheDefaultAction) {
    install_stop_signals();
    EXPECT_FALSE(stop_requested());
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_TRUE(stop_requested());
    EXPECT_EQ(stop_signal(), SIGTERM);
    // The handler gave SIGTERM back to the default (a second one would end the process);
    // SIGINT is still caught.
    EXPECT_EQ(std::signal(SIGTERM, SIG_DFL), SIG_DFL);
    ASSERT_EQ(std::raise(SIGINT), 0);
    EXPECT_EQ(stop_signal(), SIGTERM) << "the first signal is the one kept";
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

}  // namespace vornmark
