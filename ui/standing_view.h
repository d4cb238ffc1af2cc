#pragma once

#include <optional>
#include <string>

#include <imgui.h>

#include "base/run_kind.h"
#include "net/standing.h"

namespace vornmark {

struct AppState;

// Where a run stands among the runs of its processor, drawn in the left column and in the
// Leaderboard tab. Nothing is drawn without an answer: before it comes, without a leaderboard, or
// for a score that is no longer the one shown.

// A processor chosen in the Leaderboard tab's standings: its spread shows under the table.
struct ChosenProcessor {
    RunKind kind = RunKind::Single;
    std::string cpu;
};

// A small histogram of the standing's bins over the full width of the region, `height` pixels
// tall, with the median marked and, when given, a marker at `marked` (the user's score). One bin
// (one run, or runs all of one score) draws as one bar.
void draw_standing_histogram(const Standing& standing, std::optional<double> marked, float height);

// Under the score: "Faster than 63 % of 41 runs of this processor · #12 of 230 processors" and the
// histogram, for the last submitted run while its score is the one shown; in grey "standing not
// available: ..." when it could not be had.
void draw_run_standing(AppState& app);

// Under the standings table of `kind`, when a row of it is chosen: the processor's spread, with the
// user's best score of that type marked when the row is the user's own processor.
void draw_chosen_processor(AppState& app, RunKind kind);

// The height draw_chosen_processor takes for `kind`; 0 when no row of it is chosen.
float chosen_processor_height(const AppState& app, RunKind kind);

// Chooses the row (or un-chooses it when it was chosen) and asks where its runs stand.
void choose_processor(AppState& app, RunKind kind, const std::string& cpu);

}  // namespace vornmark
