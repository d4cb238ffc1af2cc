#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vornmark::server {

// Answers read from the store and kept by key (a type and a processor), so that requests for the
// same one read the store once.
//
// An answer is fresh for `lifetime` after it was read; with a `read_ahead` shorter than that, the
// first caller to find it older than `read_ahead` is told to read the next one while the rest keep
// using this one. While change notices are trusted (trust_notices(true): every change of a row
// anywhere reaches forget() or forget_all()), an answer kept then stays fresh until its key is
// forgotten, up to a minute. When notices stop being trusted, the answers fall back to
// `lifetime`, and trusting them again drops everything kept, since changes may have been missed
// in between.
//
// A read may race with a change: read before the change, kept after its notice was handled. So a
// reader takes a ticket() before reading and hands it to keep(), which drops an answer read before
// its key (or every key) was last forgotten: the request that read it gets it, the next one reads
// afresh. A forgotten key leaves a mark for this, until it is read again or room is made.
//
// Beyond `max_kept` answers (and marks) the stale ones are dropped, then about a tenth of the
// rest. Safe to call from several threads.
// The key of what is kept about a processor: its run type and its row's key.
inline std::string kept_key_of(std::string_view type, std::string_view cpu_key) {
    std::string key(type);
    key += '\n';
    key += cpu_key;
    return key;
}

template <typename Value>
class KeptAnswers {
public:
    using Clock = std::chrono::steady_clock;
    using Ticket = std::uint64_t;

    struct Found {
        std::shared_ptr<const Value> value;
        Clock::time_point read_at;
        bool read_next = false;      // this caller should start reading the next answer
        bool until_changed = false;  // known current: kept until a notice forgets it
    };

    KeptAnswers(Clock::duration lifetime, std::size_t max_kept, Clock::duration read_ahead = Clock::duration::max())
        : lifetime_(lifetime), read_ahead_(read_ahead), max_kept_(max_kept) {}

    // The answer kept for `key` while it is fresh.
    std::optional<Found> find(const std::string& key, Clock::time_point now) {
        std::lock_guard lock(mutex_);
        const auto found = kept_.find(key);
        if (found == kept_.end() || !found->second.value) return std::nullopt;
        Kept& kept = found->second;
        if (kept_until_changed(kept, now)) return Found{kept.value, kept.read_at, false, true};
        if (now - kept.read_at >= lifetime_) return std::nullopt;
        const bool read_next = !kept.next_asked && now - kept.read_at >= read_ahead_;
        kept.next_asked = kept.next_asked || read_next;
        return Found{kept.value, kept.read_at, read_next, false};
    }

    // Taken before reading what keep() is then given.
    Ticket ticket() {
        std::lock_guard lock(mutex_);
        return changes_;
    }

    void keep(const std::string& key, std::shared_ptr<const Value> value, Clock::time_point read_at, Ticket ticket) {
        std::lock_guard lock(mutex_);
        if (ticket < everything_forgotten_at_) return;
        const auto found = kept_.find(key);
        if (found != kept_.end() && !found->second.value && ticket < found->second.forgotten_at) return;
        if (found == kept_.end() && kept_.size() >= max_kept_) make_room();
        kept_[key] = Kept{std::move(value), read_at, false, trusted_, 0};
    }

    // The next request for `key` reads afresh.
    void forget(const std::string& key) {
        std::lock_guard lock(mutex_);
        ++changes_;
        if (kept_.size() >= max_kept_ && !kept_.contains(key)) make_room();
        kept_[key] = Kept{nullptr, Clock::now(), false, false, changes_};
    }

    // Every next request reads afresh.
    void forget_all() {
        std::lock_guard lock(mutex_);
        kept_.clear();
        everything_forgotten_at_ = ++changes_;
    }

    // Whether every change will reach forget() or forget_all() from now on. Trusting them again
    // drops everything kept; a read begun before either is not kept.
    void trust_notices(bool trusted) {
        std::lock_guard lock(mutex_);
        if (trusted && !trusted_) kept_.clear();
        trusted_ = trusted;
        everything_forgotten_at_ = ++changes_;
    }

    std::size_t size() {
        std::lock_guard lock(mutex_);
        return kept_.size();
    }

private:
    struct Kept {
        std::shared_ptr<const Value> value;  // none: the mark of a forgotten key
        Clock::time_point read_at;           // or forgotten at
        bool next_asked = false;
        bool until_changed = false;
        Ticket forgotten_at = 0;
    };

    // A notice lost with the process that would have sent it (one that stopped between a commit
    // and its notice) leaves an answer out of date for at most `longest_until_changed`.
    bool kept_until_changed(const Kept& kept, Clock::time_point now) const {
        return trusted_ && kept.until_changed && now - kept.read_at < longest_until_changed;
    }

    void make_room() {
        const Clock::time_point now = Clock::now();
        // Marks outlive any read begun before them (a read gives up within seconds).
        std::erase_if(kept_, [&](const auto& entry) {
            const Kept& kept = entry.second;
            if (!kept.value) return now - kept.read_at >= mark_lifetime;
            return !kept_until_changed(kept, now) && now - kept.read_at >= lifetime_;
        });
        // The rest are current: some go, whichever the table holds first.
        const std::size_t keep_at_most = max_kept_ - max_kept_ / 10 - 1;
        // Answers before marks, so that a read under way still finds its mark.
        for (const bool marks : {false, true}) {
            for (auto it = kept_.begin(); it != kept_.end() && kept_.size() > keep_at_most;) {
                it = (it->second.value == nullptr) == marks ? kept_.erase(it) : std::next(it);
            }
        }
    }

    const Clock::duration lifetime_;
    const Clock::duration read_ahead_;
    const std::size_t max_kept_;
    std::mutex mutex_;
    std::unordered_map<std::string, Kept> kept_;
    static constexpr auto mark_lifetime = std::chrono::seconds(30);
    static constexpr auto longest_until_changed = std::chrono::minutes(1);

    bool trusted_ = false;
    Ticket changes_ = 0;                  // forgets so far
    Ticket everything_forgotten_at_ = 0;  // the last forget_all() or change of trust
};

}  // namespace vornmark::server
