#pragma once

#include <optional>
#include <string>

#include "net/leaderboard_client.h"

namespace vornmark::cli {

// Where a submitted run stands, as the runner reports it.

// Waits until the run's standing has come or failed (each request ends within its time limit), or
// a stop is asked for.
void wait_for_standing(const LeaderboardClient& client);

// The line under a submitted run: "Where you stand: ..." or why it is not available; nothing when
// no standing was asked (the submission failed).
std::optional<std::string> standing_report_line(const StandingOutcome& outcome);

// The run's JSON object with "standing" added: the standing's object, or null when it could not
// be had. Unchanged when no standing was asked.
std::string with_standing(std::string run_json, const StandingOutcome& outcome);

}  // namespace vornmark::cli
