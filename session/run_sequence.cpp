#include "session/run_sequence.h"

EngineState engine_state(const BenchmarkEngine& engine) {
    EngineState state;
    state.running = engine.running.load();
    state.result_ready = engine.result_ready.load();
    return state;
}

void RunSequence::begin(std::size_t runs) {
    current_ = 0;
    total_ = runs;
}

void RunSequence::end() {
    current_ = 0;
    total_ = 0;
}

SequenceStep RunSequence::next_step(EngineState engine) const {
    if (!active() || engine.running) return SequenceStep::Wait;
    // A start is either refused or sets running before it returns, so a run that is not going
    // has either left its result or never will.
    if (!engine.result_ready) return SequenceStep::Abandon;
    return current_ + 1 < total_ ? SequenceStep::CollectAndStartNext : SequenceStep::CollectAndFinish;
}

void RunSequence::advance(SequenceStep step) {
    switch (step) {
    case SequenceStep::Wait:
        break;
    case SequenceStep::CollectAndStartNext:
        ++current_;
        break;
    case SequenceStep::CollectAndFinish:
    case SequenceStep::Abandon:
        end();
        break;
    }
}
