#pragma once

#include <string>
#include <vector>

#include "history/history_entry.h"

namespace vornmark {

enum class HistoryFileState {
    Missing,        // no file there: an empty history
    Read,           // a history; every run converted
    NotUnderstood,  // a file whose text is not a history (not JSON, a member of the wrong kind, no "runs" array)
    CannotRead,     // something that cannot be read as a file (a directory, no permission, an I/O error)
};

struct HistoryFileRead {
    HistoryFileState state = HistoryFileState::Missing;
    std::string reason;  // one line when the state is NotUnderstood or CannotRead
};

// Reads the history at `path`. `entries` holds the runs when the state is Read and is empty otherwise.
// Never throws.
HistoryFileRead read_history_file(const std::string& path, std::vector<HistoryEntry>& entries);

// The file that writing `path` must replace: symbolic links are followed to their final target (which
// need not exist yet), so a linked history is written through instead of the link being replaced by a
// plain file. A loop of links gives `path` itself.
std::string resolve_write_target(const std::string& path);

}  // namespace vornmark
