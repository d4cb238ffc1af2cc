#include "history/history_store.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "history/file_lock.h"
#include "history/history_file.h"
#include "history/history_json.h"
#include "history/replace_file.h"
#include "history/unreadable_copy.h"
#include "history/utf8_path.h"

namespace vornmark {

namespace {

// Empty when the directory exists or was made; otherwise why not.
std::string create_parent_directory(const std::string& path) {
    const std::filesystem::path parent = path_from_utf8(path).parent_path();
    if (parent.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error) return "cannot create the folder " + utf8_from_path(parent) + ": " + error.message();
    return {};
}

}  // namespace

HistoryStore::HistoryStore() : HistoryStore(default_history_path()) {}

HistoryStore::HistoryStore(std::string path) : path_(std::move(path)) {}

void HistoryStore::load() {
    load_ = {};
    save_ = {};
    const HistoryFileRead read = read_history_file(path_, entries_);
    if (read.state == HistoryFileState::Missing || read.state == HistoryFileState::Read) return;
    load_.failed = true;
    load_.reason = read.reason;
    if (read.state == HistoryFileState::NotUnderstood) {
        // Kept now, not only before the next write: whoever reads the message can look at the copy.
        try {
            keep_file_aside(resolve_write_target(path_), std::time(nullptr), &load_.kept_aside);
        } catch (const std::exception&) {
        }
    }
}

void HistoryStore::change(HistoryChange kind, const std::function<bool(std::vector<HistoryEntry>&)>& edit) {
    save_ = {kind, true, {}, {}};
    try {
        const std::string target = resolve_write_target(path_);
        auto drop_change = [&](std::string reason) {
            save_.saved = false;
            save_.reason = std::move(reason);
        };
        // Without the lock the list still shows what the file holds now, not what it held once.
        auto drop_change_unlocked = [&](std::string reason) {
            drop_change(std::move(reason));
            std::vector<HistoryEntry> runs;
            const HistoryFileState state = read_history_file(target, runs).state;
            if (state != HistoryFileState::NotUnderstood) entries_ = std::move(runs);
        };
        if (std::string problem = create_parent_directory(target); !problem.empty())
            return drop_change_unlocked(std::move(problem));
        const FileLock lock(target + ".lock");
        if (!lock.held()) return drop_change_unlocked(lock.error());

        std::vector<HistoryEntry> runs;
        const HistoryFileRead read = read_history_file(target, runs);
        switch (read.state) {
        case HistoryFileState::Missing:
        case HistoryFileState::Read:
            break;
        case HistoryFileState::CannotRead:
            // No runs can be read there now (a directory in its place, no permission): none are listed.
            entries_.clear();
            return drop_change(target + " cannot be read: " + read.reason);
        case HistoryFileState::NotUnderstood:
            // Not a history any more (or never was): keep its bytes, then write what this process has.
            if (!keep_file_aside(target, std::time(nullptr), &save_.kept_aside))
                return drop_change(target + " is not a history and could not be copied aside");
            runs = entries_;
            break;
        }

        std::vector<HistoryEntry> edited = runs;
        if (!edit(edited)) {
            entries_ = std::move(runs);  // nothing to do, e.g. the run was deleted elsewhere already
            return;
        }
        std::string error;
        if (!replace_file_contents(target, text_file_content(write_history_json(edited)), &error)) {
            // The list shows what the file holds, which is what it held before.
            drop_change(std::move(error));
            if (read.state != HistoryFileState::NotUnderstood) entries_ = std::move(runs);
            return;
        }
        entries_ = std::move(edited);
    } catch (const std::exception& failure) {
        // Only allocation can throw here; the file and the list keep their previous content.
        save_.saved = false;
        save_.reason = failure.what();
    }
}

void HistoryStore::save() {
    change(HistoryChange::Save, [this](std::vector<HistoryEntry>& runs) {
        runs = entries_;
        return true;
    });
}

void HistoryStore::append(HistoryEntry entry) {
    change(HistoryChange::Append, [&entry](std::vector<HistoryEntry>& runs) {
        runs.push_back(entry);
        return true;
    });
}

void HistoryStore::remove(std::size_t index) {
    if (index >= entries_.size()) return;
    const HistoryEntry clicked = entries_[index];
    // Equal runs cannot be told apart; among them take the one at the same rank.
    const auto rank =
        std::count(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(index), clicked);
    change(HistoryChange::Remove, [&](std::vector<HistoryEntry>& runs) {
        auto found = runs.end();
        std::ptrdiff_t seen = 0;
        for (auto it = runs.begin(); it != runs.end(); ++it) {
            if (*it != clicked) continue;
            found = it;
            if (seen++ == rank) break;
        }
        if (found == runs.end()) return false;
        runs.erase(found);
        return true;
    });
}

std::int32_t HistoryStore::best_score(RunKind kind) const {
    std::int32_t best = 0;
    for (const HistoryEntry& entry : entries_) {
        if (parse_run_kind(entry.type) == kind) best = std::max(best, entry.score);
    }
    return best;
}

const std::vector<HistoryEntry>& HistoryStore::entries() const {
    return entries_;
}

const std::string& HistoryStore::path() const {
    return path_;
}

const HistoryLoadOutcome& HistoryStore::last_load() const {
    return load_;
}

const HistorySaveOutcome& HistoryStore::last_save() const {
    return save_;
}

}  // namespace vornmark
