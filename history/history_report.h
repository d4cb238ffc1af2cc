#pragma once

#include <string>

#include "history/history_store.h"

namespace vornmark {

// What both front ends tell the user about the history, one line each, empty when all went well.

// The last load found a file it could not read: why, and where its content was kept.
std::string history_load_problem(const HistoryStore& history);

// The last change could not be written: what was lost, why, and that the file is unchanged, naming
// the file's path once.
std::string history_change_problem(const HistoryStore& history);

// The line a window keeps showing: the last change's problem; else, when a change replaced an
// unreadable file, where that file was kept; else, when nothing changed since a load that failed,
// that load's problem.
std::string history_notice(const HistoryStore& history);

}  // namespace vornmark
