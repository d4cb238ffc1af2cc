#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "server/api.h"
#include "server/kept_answers.h"
#include "server/standings_cache.h"
#include "server/store.h"

namespace vornmark::server {

class BoardSnapshot;
class Store;
class StoreWorkers;
class Timer;

// The leaderboard on the web, beside the JSON API: "/" (both standings) and "/cpu?type=T&cpu=NAME"
// (one processor), every other path an HTML 404 of ours. Every page carries the security headers
// (security_headers below). The standings page comes from the same kept standings as the JSON reply
// (at most about a second old, with Age); a processor's page reads that one row from the store on
// the workers and is kept as the where-you-stand answers are (until the row changes while change
// notices are trusted, about a second otherwise), and read again when the row's place among the
// others has moved. Safe to call from several threads; everything it is given must outlive it.
class Pages {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto lifetime = std::chrono::seconds(1);
    // How long a processor's page waits for the store (its turn among the workers included).
    static constexpr auto patience = std::chrono::seconds(2);
    // Processor pages kept at once (about 10 KB each); beyond it some are dropped.
    static constexpr std::size_t max_kept_pages = 20000;

    Pages(Store& store, StoreWorkers& workers, Timer& timer, StandingsCache& standings,
          const BoardSnapshot& board);
    ~Pages();
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    // As Api::handle: the reply at once, or nothing and `respond` called once later.
    std::optional<ApiReply> handle(const ApiRequest& request, Respond respond);

    // As StandingAnswers: a row changed, any row changed, whether change notices are trusted.
    void forget(std::string_view type, std::string_view cpu_key);
    void forget_all();
    void trust_notices(bool trusted);
    // Processor pages given so far, and those of them given from memory.
    std::uint64_t processor_pages() const { return processor_pages_.load(std::memory_order_relaxed); }
    std::uint64_t processor_pages_from_memory() const {
        return processor_pages_from_memory_.load(std::memory_order_relaxed);
    }

private:
    // A kept page this old has the next one read by the first request that finds it.
    static constexpr auto read_ahead = std::chrono::milliseconds(800);

    struct PendingPage;
    struct Page {
        int status = 200;
        std::string html;
        std::optional<StandingsRow> row;  // as read, for its place now
        std::optional<int> rank;          // the place the page shows
        std::int64_t rows = 0;
    };

    // The standings page, plain and gzipped, and the two replies it was made from.
    struct StandingsPage {
        std::shared_ptr<const std::string> single, multi;
        std::string html, gzip;
    };
    std::optional<ApiReply> standings_page(bool gzip, Respond respond);
    ApiReply standings_reply(const Standings& single, const Standings& multi, bool gzip);
    static std::shared_ptr<const StandingsPage> make_standings_page(const Standings& single, const Standings& multi);
    // On the worker, with a type's standings just read: the page they will need, made before they
    // are handed to any request.
    void prepare_standings_page(std::string_view type, const Standings& read);
    std::optional<ApiReply> processor_page(const ApiRequest& request, Respond respond);
    // Reads the page on the workers and keeps it; answers `pending` when there is one.
    void read_later(std::shared_ptr<PendingPage> pending, const std::string& type, const std::string& cpu_key,
                    const std::string& kept_key, std::string canonical, Deadline deadline);
    // Whether a kept page still shows its row's place among the others (the board moves apart
    // from the row: its page is read again then).
    bool still_placed(const std::string& type, const Page& page) const;
    Page read_processor_page(const std::string& type, const std::string& cpu_key, const std::string& cpu_shown,
                             Deadline deadline);

    Store& store_;
    StoreWorkers& workers_;
    Timer& timer_;
    StandingsCache& standings_;
    const BoardSnapshot& board_;

    // The last standings page made, and each type's standings as last read.
    std::mutex standings_mutex_;
    std::shared_ptr<const StandingsPage> standings_page_;
    Standings seen_single_, seen_multi_;

    KeptAnswers<Page> kept_{lifetime, max_kept_pages, read_ahead};  // by type and cpu_name_key
    std::atomic<std::uint64_t> processor_pages_{0};
    std::atomic<std::uint64_t> processor_pages_from_memory_{0};
};

// A page with its status and the headers every page carries: Content-Type text/html,
// Content-Security-Policy, X-Content-Type-Options, Referrer-Policy and Cache-Control.
ApiReply page_reply(int status, std::string html);
// An error page of ours with the status's reason and a sentence.
ApiReply error_page_reply(int status, std::string_view message);

}  // namespace vornmark::server
