#pragma once

#include <istream>
#include <string>
#include <vector>

#include "history/history_entry.h"

namespace vornmark {

enum class HistoryReadStatus {
    Read,         // a root object with a "runs" array; every element converted
    NotAHistory,  // a JSON value, but not an object with a "runs" array
    Invalid,      // no valid JSON value at the start, or an element or member of the wrong kind
};

// Reads the first JSON value of `in` (anything after it is ignored). `entries` is emptied first and
// holds the runs only when the result is Read; otherwise it stays empty.
HistoryReadStatus read_history_json(std::istream& in, std::vector<HistoryEntry>& entries);

// The whole file text: {"runs": [...]}, keys in ascending order, indented by 2, no final line break.
std::string write_history_json(const std::vector<HistoryEntry>& entries);

}  // namespace vornmark
