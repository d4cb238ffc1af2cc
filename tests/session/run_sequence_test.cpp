#include "session/run_sequence.h"

#include <gtest/gtest.h>

#include "engine/benchmark_config.h"
#include "session/run_record.h"
#include "tests/support/wait_until.h"

namespace {

constexpr EngineState running{true, false};
constexpr EngineState finished{false, true};
constexpr EngineState no_result{false, false};

// A sequence of `total` runs with `advanced` of them already collected.
RunSequence sequence_at(std::size_t total, std::size_t advanced) {
    RunSequence sequence;
    sequence.begin(total);
    for (std::size_t i = 0; i < advanced; ++i) sequence.advance(SequenceStep::CollectAndStartNext);
    return sequence;
}

TEST(RunSequence, NextStepFollowsFromWhereItStandsAndTheEngineState) {
    struct Case {
        const char* name;
        RunSequence sequence;
        EngineState engine;
        SequenceStep expected;
    };
    const Case cases[] = {
        {"never begun, result waiting", RunSequence{}, finished, SequenceStep::Wait},
        {"never begun, engine idle", RunSequence{}, no_result, SequenceStep::Wait},
        {"first half running", sequence_at(2, 0), running, SequenceStep::Wait},
        {"first half finished", sequence_at(2, 0), finished, SequenceStep::CollectAndStartNext},
        {"first half left nothing", sequence_at(2, 0), no_result, SequenceStep::Abandon},
        {"second half running", sequence_at(2, 1), running, SequenceStep::Wait},
        {"second half finished", sequence_at(2, 1), finished, SequenceStep::CollectAndFinish},
        {"second half left nothing", sequence_at(2, 1), no_result, SequenceStep::Abandon},
        {"single run finished", sequence_at(1, 0), finished, SequenceStep::CollectAndFinish},
        {"empty sequence", sequence_at(0, 0), finished, SequenceStep::Wait},
    };
    for (const Case& c : cases) EXPECT_EQ(c.sequence.next_step(c.engine), c.expected) << c.name;
}

TEST(RunSequence, AdvanceMovesOnOrEndsAndEndStopsAtOnce) {
    RunSequence sequence = sequence_at(2, 0);
    sequence.advance(SequenceStep::Wait);
    EXPECT_TRUE(sequence.active());
    EXPECT_EQ(sequence.current(), 0u);
    sequence.advance(SequenceStep::CollectAndStartNext);
    EXPECT_TRUE(sequence.active());
    EXPECT_EQ(sequence.current(), 1u);
    sequence.advance(SequenceStep::CollectAndFinish);
    EXPECT_FALSE(sequence.active());

    for (const std::size_t advanced : {0u, 1u}) {
        RunSequence abandoned = sequence_at(2, advanced);
        abandoned.advance(SequenceStep::Abandon);
        EXPECT_FALSE(abandoned.active()) << "abandoned in half " << advanced;
        RunSequence cancelled = sequence_at(2, advanced);
        cancelled.end();
        EXPECT_FALSE(cancelled.active()) << "cancelled in half " << advanced;
        EXPECT_EQ(cancelled.next_step(finished), SequenceStep::Wait);

        cancelled.begin(2);
        EXPECT_EQ(cancelled.current(), 0u) << "a new sequence starts at its first run";
    }
}

// The real engine behind the sequence, as the window and the runner drive it.
class RunSequenceWithEngine : public ::testing::Test {
protected:
    static BenchmarkConfig tiny(std::int32_t threads) {
        BenchmarkConfig config = preset_config(threads);
        config.width = 24;
        config.height = 16;
        config.samples = 2;
        config.tile_size = 8;
        return config;
    }
    static BenchmarkConfig long_run() {
        BenchmarkConfig config = preset_config(1);
        config.width = 640;
        config.height = 360;
        config.samples = 64;
        return config;
    }
    // Waits for the engine to stop, then says what the sequence does next.
    SequenceStep settled_step() {
        EXPECT_TRUE(wait_until([&] { return !engine.running.load(); }));
        return sequence.next_step(engine_state(engine));
    }

    BenchmarkEngine engine;
    RunSequence sequence;
};

TEST_F(RunSequenceWithEngine, RunBothCollectsEachHalfOnceAndEnds) {
    sequence.begin(2);
    engine.start(tiny(1));
    EXPECT_EQ(settled_step(), SequenceStep::CollectAndStartNext);
    const auto first = take_result(engine);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, RunKind::Single);
    EXPECT_FALSE(take_result(engine)) << "collected once";
    sequence.advance(SequenceStep::CollectAndStartNext);

    engine.start(tiny(2));
    EXPECT_EQ(settled_step(), SequenceStep::CollectAndFinish);
    const auto second = take_result(engine);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->type, RunKind::Multi);
    sequence.advance(SequenceStep::CollectAndFinish);
    EXPECT_FALSE(sequence.active());
    EXPECT_EQ(sequence.next_step(engine_state(engine)), SequenceStep::Wait);
}

TEST_F(RunSequenceWithEngine, CancelOrRefusedStartInEitherHalfAbandonsIt) {
    enum class Ending { Cancel, RefusedStart };
    for (const std::size_t half : {0u, 1u}) {
        for (const Ending ending : {Ending::Cancel, Ending::RefusedStart}) {
            SCOPED_TRACE(testing::Message()
                         << "half " << half << (ending == Ending::Cancel ? " cancelled" : " refused"));
            sequence.begin(2);
            if (half == 1) {
                engine.start(tiny(1));
                ASSERT_EQ(settled_step(), SequenceStep::CollectAndStartNext);
                ASSERT_TRUE(take_result(engine));
                sequence.advance(SequenceStep::CollectAndStartNext);
            }
            if (ending == Ending::Cancel) {
                engine.start(long_run());
                EXPECT_EQ(sequence.next_step(engine_state(engine)), SequenceStep::Wait);
                engine.cancel();
            } else {
                BenchmarkConfig refused = tiny(1);
                refused.tile_size = 0;
                engine.start(refused);
                EXPECT_FALSE(engine.error().empty());
            }
            EXPECT_EQ(settled_step(), SequenceStep::Abandon);
            EXPECT_FALSE(take_result(engine));
            sequence.advance(SequenceStep::Abandon);
            EXPECT_FALSE(sequence.active());
        }
    }
}

}  // namespace
