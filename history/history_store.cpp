#include "history/history_store.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "history/file_replace.h"
#include "history/history_json.h"

namespace {

bool file_is_absent(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return status.type() == std::filesystem::file_type::not_found;
}

void create_parent_directory(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(parent, error);
}

}  // namespace

HistoryStore::HistoryStore() : HistoryStore(default_history_path()) {}

HistoryStore::HistoryStore(std::string path) : path_(std::move(path)) {}

void HistoryStore::load() {
    entries_.clear();
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        // A missing file is an empty history; one that exists but cannot be opened is kept.
        keep_file_before_saving_ = !file_is_absent(path_);
        return;
    }
    const HistoryReadStatus status = read_history_json(in, entries_);
    keep_file_before_saving_ = status != HistoryReadStatus::Read;
}

void HistoryStore::save() {
    try {
        const std::string text = write_history_json(entries_);
        if (keep_file_before_saving_) {
            if (!keep_file_aside(path_, std::time(nullptr))) return;
            keep_file_before_saving_ = false;
        }
        create_parent_directory(path_);
        replace_file_contents(path_, text);
    } catch (const std::exception&) {
        // Saving never fails towards the caller; the file keeps its previous content.
    }
}

void HistoryStore::append(HistoryEntry entry) {
    entries_.push_back(std::move(entry));
    save();
}

void HistoryStore::remove(std::size_t index) {
    if (index >= entries_.size()) return;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    save();
}

std::int32_t HistoryStore::best_score(std::string_view type) const {
    std::int32_t best = 0;
    for (const HistoryEntry& entry : entries_) {
        if (entry.type == type) best = std::max(best, entry.score);
    }
    return best;
}

const std::vector<HistoryEntry>& HistoryStore::entries() const {
    return entries_;
}

const std::string& HistoryStore::path() const {
    return path_;
}
