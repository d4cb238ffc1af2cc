#pragma once

#include <nlohmann/json.hpp>

#include "session/run_conditions.h"

namespace vornmark::cli {

// The conditions of a run as the runner's "conditions" object: the verdict, its reasons and notes,
// and every figure, null where the platform does not tell.
nlohmann::ordered_json conditions_json(const RunConditions& conditions);

}  // namespace vornmark::cli
