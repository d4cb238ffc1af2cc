#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_kind.h"
#include "history/history_entry.h"
#include "history/history_path.h"

namespace vornmark {

// How the last load went. The history is empty whenever `failed` is set.
struct HistoryLoadOutcome {
    bool failed = false;     // a file is there but could not be read as a history
    std::string reason;      // why, one line, when failed
    std::string kept_aside;  // the copy of the unreadable file beside it, when one could be made
};

// Which change the last save came from.
enum class HistoryChange { None, Append, Remove, Save };

// How the last change went. When `saved` is false the file on disk is as it was before, and so is
// the list: a change that could not be written is not kept anywhere.
struct HistorySaveOutcome {
    HistoryChange change = HistoryChange::None;  // None: no change since the last load
    bool saved = true;
    std::string reason;      // why not, one line, when not saved
    std::string kept_aside;  // a copy made of an unreadable file before it was replaced
};

// The finished runs, oldest first, mirrored in one JSON file that other processes (the window and the
// runner) may change as well. Every change takes the file's lock, reads the file again, applies the
// change to what it read and replaces the file atomically, so no process erases another's runs; after
// a change the list equals the file. Nothing throws: a file that cannot be read gives an empty
// history, a file that cannot be written keeps its old content; last_load and last_save say what
// happened. One store is used from one thread only.
class HistoryStore {
public:
    HistoryStore();
    explicit HistoryStore(std::string path);

    // Replaces the entries by the file's runs. A file that exists but is not a history is copied
    // aside ("<path>.unreadable-YYYYMMDD-HHMMSS") at once; the file itself stays until the next change.
    void load();
    // Writes the in-memory list as the whole file (under the lock, replacing what is there).
    void save();
    // Adds the run at the end of the file's list.
    void append(HistoryEntry entry);
    // Deletes the run shown at `index` of entries(): the same run by content in the file as it is now,
    // so a run another process added or removed meanwhile does not shift the deletion onto a
    // different one. Out-of-range indices change and save nothing.
    void remove(std::size_t index);

    // Highest score among entries whose type is exactly this kind's text; 0 when there is none.
    std::int32_t best_score(RunKind kind) const;

    const std::vector<HistoryEntry>& entries() const;
    const std::string& path() const;
    const HistoryLoadOutcome& last_load() const;
    const HistorySaveOutcome& last_save() const;

private:
    // Applies `edit` to the file's current runs under the lock and writes the result. `edit` returns
    // false when there is nothing to change. When the file cannot be read, locked or written, the
    // change is dropped and the list shows what the file holds now: nothing when it cannot be read.
    // (A file that is not a history leaves the list as it was: its runs are this process's only copy.)
    void change(HistoryChange kind, const std::function<bool(std::vector<HistoryEntry>&)>& edit);

    std::string path_;
    std::vector<HistoryEntry> entries_;
    HistoryLoadOutcome load_;
    HistorySaveOutcome save_;
};

}  // namespace vornmark
