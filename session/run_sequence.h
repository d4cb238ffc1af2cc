#pragma once

#include <cstddef>

#include "engine/benchmark_engine.h"

// The engine as a sequence of runs sees it between two looks.
struct EngineState {
    bool running = false;
    bool result_ready = false;
};

// Reads running, then result_ready (the order that makes the pair consistent).
EngineState engine_state(const BenchmarkEngine& engine);

// What the front end does next for a sequence.
enum class SequenceStep {
    Wait,                 // no sequence, or its current run is still going
    CollectAndStartNext,  // the current run finished: collect it, then start the next run
    CollectAndFinish,     // the last run finished: collect it; the sequence is over
    Abandon,              // the current run left no result (cancelled, refused, failed): over
};

// Runs started one after the other, each once the previous one has been collected: "Run Both"
// is a sequence of two (single-core, then multi-core). The sequence only says what comes next;
// the front end starts the runs and collects the results.
class RunSequence {
public:
    // Begins a sequence of `runs` runs at the first; the caller starts that run right after.
    void begin(std::size_t runs);
    // Ends the sequence at once (Cancel); a run still going is the caller's to cancel.
    void end();

    bool active() const { return current_ < total_; }
    // Zero-based index of the run in progress; meaningful while active.
    std::size_t current() const { return current_; }

    // A pure function of where the sequence stands and of the engine's state.
    SequenceStep next_step(EngineState engine) const;
    // Moves past a step the caller has carried out: to the next run after
    // CollectAndStartNext, out of the sequence after CollectAndFinish or Abandon.
    void advance(SequenceStep step);

private:
    std::size_t current_ = 0;
    std::size_t total_ = 0;
};
