#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace vornmark::server {

// Answers read from the store and kept for a short while by key (a type and a processor), so
// that a burst of requests for the same one reads the store once. An answer is fresh for
// `lifetime` after it was read; with a `read_ahead` shorter than that, the first caller to find
// it older than `read_ahead` is told to read the next one while the rest keep using this one.
// Beyond `max_kept` answers the stale ones are dropped (all of them, if none is stale). Safe to
// call from several threads.
template <typename Value>
class KeptAnswers {
public:
    using Clock = std::chrono::steady_clock;

    struct Found {
        std::shared_ptr<const Value> value;
        Clock::time_point read_at;
        bool read_next = false;  // this caller should start reading the next answer
    };

    KeptAnswers(Clock::duration lifetime, std::size_t max_kept, Clock::duration read_ahead = Clock::duration::max())
        : lifetime_(lifetime), read_ahead_(read_ahead), max_kept_(max_kept) {}

    // The answer kept for `key` while it is fresh.
    std::optional<Found> find(const std::string& key, Clock::time_point now) {
        std::lock_guard lock(mutex_);
        const auto found = kept_.find(key);
        if (found == kept_.end() || now - found->second.read_at >= lifetime_) return std::nullopt;
        Kept& kept = found->second;
        const bool read_next = !kept.next_asked && now - kept.read_at >= read_ahead_;
        kept.next_asked = kept.next_asked || read_next;
        return Found{kept.value, kept.read_at, read_next};
    }

    void keep(const std::string& key, std::shared_ptr<const Value> value, Clock::time_point read_at) {
        std::lock_guard lock(mutex_);
        if (kept_.size() >= max_kept_) {
            const Clock::time_point now = Clock::now();
            std::erase_if(kept_, [&](const auto& entry) { return now - entry.second.read_at >= lifetime_; });
            if (kept_.size() >= max_kept_) kept_.clear();
        }
        kept_[key] = Kept{std::move(value), read_at, false};
    }

    // The next request for `key` reads afresh.
    void forget(const std::string& key) {
        std::lock_guard lock(mutex_);
        kept_.erase(key);
    }

private:
    struct Kept {
        std::shared_ptr<const Value> value;
        Clock::time_point read_at;
        bool next_asked = false;
    };

    const Clock::duration lifetime_;
    const Clock::duration read_ahead_;
    const std::size_t max_kept_;
    std::mutex mutex_;
    std::unordered_map<std::string, Kept> kept_;
};

}  // namespace vornmark::server
