#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "server/store.h"

namespace vornmark::server {

// The texts and checks of the board's rules that do not need the database, shared by both stores.

// Days for the limits per day: UTC days since 1970.
inline std::int64_t day_of(std::int64_t seconds_since_1970) {
    return seconds_since_1970 / 86400;
}

// Why a run is refused before anything is looked up (a score per thread no processor reaches).
std::optional<std::string> implausible(const Submission& submission, const BoardRules& rules);

std::string too_many_new_names(const BoardRules& rules);
std::string over_daily_runs(const BoardRules& rules);
std::string outlying(const BoardRules& rules);

}  // namespace vornmark::server
