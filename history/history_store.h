#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_entry.h"
#include "history/history_path.h"

// The finished runs, oldest first, mirrored in one JSON file. Nothing is reported to the caller:
// a file that cannot be read gives an empty history, a file that cannot be written keeps its old
// content. Used from one thread only.
class HistoryStore {
public:
    HistoryStore();
    explicit HistoryStore(std::string path);

    // Replaces the entries by the file's runs.
    void load();
    // Rewrites the file from the entries. If the file on disk was never read successfully, it is
    // first kept beside itself as "<path>.unreadable-YYYYMMDD-HHMMSS".
    void save();
    void append(HistoryEntry entry);
    // Out-of-range indices change and save nothing.
    void remove(std::size_t index);

    // Highest score among entries of exactly this type; 0 when there is none.
    std::int32_t best_score(std::string_view type) const;

    const std::vector<HistoryEntry>& entries() const;
    const std::string& path() const;

private:
    std::string path_;
    std::vector<HistoryEntry> entries_;
    // Set until a load has seen the file on disk as a history (or seen that there is none), so a
    // save never replaces content that was not understood.
    bool keep_file_before_saving_ = true;
};
