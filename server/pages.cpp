#include "server/pages.h"

#include <atomic>
#include <functional>

#include "server/board_snapshot.h"
#include "server/cpu_name.h"
#include "server/gzip.h"
#include "server/log.h"
#include "server/page_assets.h"
#include "server/page_data.h"
#include "server/pages_html.h"
#include "server/standing_answers.h"
#include "server/standings_cache.h"
#include "server/store.h"
#include "server/store_workers.h"
#include "server/submission.h"
#include "server/timer.h"

namespace vornmark::server {

namespace {

const char* reason_phrase(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 503:
        return "Service Unavailable";
    default:
        return status >= 500 ? "Server Error" : "Refused";
    }
}

std::string age_of(std::chrono::steady_clock::time_point read_at) {
    const auto age = std::chrono::steady_clock::now() - read_at;
    return std::to_string(
        std::max<long long>(0, std::chrono::duration_cast<std::chrono::seconds>(age).count()));
}

ApiReply unavailable_page() {
    ApiReply reply = error_page_reply(503, "The leaderboard's database is not answering; try again shortly.");
    reply.retry_after = std::to_string(store_call_timeout.count());
    return reply;
}

// Waits for both standings, either of which may come later from another thread; the reply is
// made once, by whichever arrival completes the pair.
struct BothStandings {
    std::mutex mutex;
    Standings got[2];
    int missing = 2;
    bool deferred = false;  // the request was set aside: the last arrival answers it
    std::function<ApiReply(const Standings&, const Standings&)> make;
    Respond respond;

    void arrive(int index, Standings standings) {
        std::unique_lock lock(mutex);
        got[index] = std::move(standings);
        if (--missing == 0 && deferred) {
            lock.unlock();
            respond(make(got[0], got[1]));
        }
    }
    // After both requests were made: the reply now, or nothing when it comes later.
    std::optional<ApiReply> settle() {
        std::unique_lock lock(mutex);
        if (missing > 0) {
            deferred = true;
            return std::nullopt;
        }
        lock.unlock();
        return make(got[0], got[1]);
    }
};

}  // namespace

// One processor's page from the moment it is set aside until it is answered, by the worker that
// reads it or by the timer that gives up on it, whichever comes first.
struct Pages::PendingPage {
    std::atomic<bool> answered{false};
    Respond respond;
    Timer::Task give_up;

    bool claim() { return !answered.exchange(true); }
};

ApiReply page_reply(int status, std::string html) {
    ApiReply reply;
    reply.status = status;
    reply.body = std::move(html);
    reply.content_type = "text/html; charset=utf-8";
    reply.headers = {{"Content-Security-Policy", content_security_policy()},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Referrer-Policy", "no-referrer"},
                     {"Cache-Control", status == 200 ? "public, max-age=1" : "no-store"}};
    return reply;
}

ApiReply error_page_reply(int status, std::string_view message) {
    return page_reply(status, error_page_html(status, reason_phrase(status), message));
}

Pages::Pages(Store& store, StoreWorkers& workers, Timer& timer, StandingsCache& standings,
             const BoardSnapshot& board)
    : store_(store), workers_(workers), timer_(timer), standings_(standings), board_(board) {
    standings_.set_read_hook(
        [this](std::string_view type, const Standings& read) { prepare_standings_page(type, read); });
}

Pages::~Pages() {
    standings_.set_read_hook(nullptr);
}

std::optional<ApiReply> Pages::handle(const ApiRequest& request, Respond respond) {
    const bool standings = request.path == "/";
    const bool processor = request.path == "/cpu";
    if (!standings && !processor) return error_page_reply(404, "There is no page at this address.");
    if (request.method != "GET" && request.method != "HEAD") {
        ApiReply reply = error_page_reply(405, "A page can only be read (GET or HEAD).");
        reply.allow = "GET, HEAD";
        return reply;
    }
    if (standings) return standings_page(request.accepts_gzip, std::move(respond));
    return processor_page(request, std::move(respond));
}

std::optional<ApiReply> Pages::standings_page(bool gzip, Respond respond) {
    auto both = std::make_shared<BothStandings>();
    both->make = [this, gzip](const Standings& single, const Standings& multi) {
        return standings_reply(single, multi, gzip);
    };
    both->respond = std::move(respond);
    for (int i = 0; i < 2; ++i) {
        std::optional<Standings> now = standings_.get(i == 0 ? "single" : "multi",
                                                      [both, i](Standings later) { both->arrive(i, later); });
        if (now) both->arrive(i, std::move(*now));
    }
    return both->settle();
}

ApiReply Pages::standings_reply(const Standings& single, const Standings& multi, bool gzip) {
    if (!single.rows || !multi.rows) return unavailable_page();
    std::shared_ptr<const StandingsPage> page;
    {
        // Mostly made already, on the worker that read the standings. Otherwise (the first request
        // after start-up, or the two types read at the same moment) the first request makes it
        // while the others wait here, then take it.
        std::lock_guard lock(standings_mutex_);
        if (!standings_page_ || standings_page_->single != single.body || standings_page_->multi != multi.body)
            standings_page_ = make_standings_page(single, multi);
        page = standings_page_;
    }
    ApiReply reply = page_reply(200, gzip ? page->gzip : page->html);
    if (gzip) reply.headers.emplace_back("Content-Encoding", "gzip");
    reply.headers.emplace_back("Vary", "Accept-Encoding");
    reply.age = age_of(std::min(single.read_at, multi.read_at));
    return reply;
}

std::shared_ptr<const Pages::StandingsPage> Pages::make_standings_page(const Standings& single,
                                                                       const Standings& multi) {
    auto page = std::make_shared<StandingsPage>();
    page->single = single.body;
    page->multi = multi.body;
    page->html = standings_page_html(*single.rows, *multi.rows);
    page->gzip = gzip_compressed(page->html);
    return page;
}

void Pages::prepare_standings_page(std::string_view type, const Standings& read) {
    const bool single = type == "single";
    // The other type's newest: kept, or just read and not yet kept (both types are mostly read at
    // the same moment, and the kept one is replaced only after this call returns).
    Standings other = standings_.last_good(single ? "multi" : "single");
    std::shared_ptr<const StandingsPage> page;
    {
        std::lock_guard lock(standings_mutex_);
        Standings& seen = single ? seen_multi_ : seen_single_;
        if (seen.body && seen.read_at > other.read_at) other = seen;
        (single ? seen_single_ : seen_multi_) = read;
    }
    if (!read.rows || !other.rows) return;
    page = single ? make_standings_page(read, other) : make_standings_page(other, read);
    std::lock_guard lock(standings_mutex_);
    standings_page_ = std::move(page);
}

std::optional<ApiReply> Pages::processor_page(const ApiRequest& request, Respond respond) {
    if (request.type != "single" && request.type != "multi") {
        return error_page_reply(
            400, "The address needs type=single or type=multi, as in /cpu?type=single&cpu=NAME.");
    }
    if (!request.cpu || request.cpu->empty()) {
        return error_page_reply(400,
                                "The address needs the processor's name, as in /cpu?type=single&cpu=NAME.");
    }
    // The name is taken as a submission's is, so that it finds the row its runs count toward.
    const std::string& sent = *request.cpu;
    if (!is_valid_utf8(sent) || has_control_characters(sent)) {
        return error_page_reply(400, "A processor's name is UTF-8 text without control characters.");
    }
    std::string canonical = canonical_cpu_name(sent);
    if (canonical.empty() || canonical.size() > max_cpu_name_bytes ||
        !cpu_name_rule_broken(canonical).empty()) {
        return error_page_reply(400, "No processor can have this name on the leaderboard.");
    }
    const std::string type = *request.type;
    const std::string cpu_key = cpu_name_key(canonical);
    const std::string kept_key = kept_key_of(type, cpu_key);

    const Clock::time_point now = Clock::now();
    processor_pages_.fetch_add(1, std::memory_order_relaxed);
    if (const auto kept = kept_.find(kept_key, now); kept && still_placed(type, *kept->value)) {
        // In the last part of its lifetime: the next one is read without anyone waiting for it.
        if (kept->read_next) read_later(nullptr, type, cpu_key, kept_key, std::move(canonical), now + patience);
        processor_pages_from_memory_.fetch_add(1, std::memory_order_relaxed);
        ApiReply reply = page_reply(kept->value->status, kept->value->html);
        // Kept until its row changes, it is as current as a page just read.
        if (kept->value->status == 200) reply.age = kept->until_changed ? "0" : age_of(kept->read_at);
        return reply;
    }

    auto pending = std::make_shared<PendingPage>();
    pending->respond = std::move(respond);
    const Deadline deadline = now + patience;
    pending->give_up = timer_.at(deadline, [pending] {
        if (pending->claim()) pending->respond(unavailable_page());
    });
    read_later(pending, type, cpu_key, kept_key, std::move(canonical), deadline);
    return std::nullopt;
}

void Pages::read_later(std::shared_ptr<PendingPage> pending, const std::string& type,
                       const std::string& cpu_key, const std::string& kept_key, std::string canonical,
                       Deadline deadline) {
    {
        workers_.post({[this, pending, type, cpu_key, kept_key, canonical = std::move(canonical), deadline] {
                           if (pending && pending->answered) return;
                           std::shared_ptr<const Page> page;
                           const Clock::time_point read_at = Clock::now();
                           try {
                               const auto ticket = kept_.ticket();
                               page = std::make_shared<const Page>(
                                   read_processor_page(type, cpu_key, canonical, deadline));
                               kept_.keep(kept_key, page, read_at, ticket);
                           } catch (const StoreUnavailable& e) {
                               log_line(std::string("store unavailable: ") + e.what());
                           } catch (const StoreError& e) {
                               log_line(std::string("store error: ") + e.what());
                           }
                           if (!pending || !pending->claim()) return;
                           timer_.cancel(pending->give_up);
                           if (!page) {
                               pending->respond(unavailable_page());
                               return;
                           }
                           ApiReply reply = page_reply(page->status, page->html);
                           if (page->status == 200) reply.age = age_of(read_at);
                           pending->respond(std::move(reply));
                       },
                       [pending] {
                           if (pending && pending->claim()) pending->respond(unavailable_page());
                       }});
    }
}

Pages::Page Pages::read_processor_page(const std::string& type, const std::string& cpu_key,
                                       const std::string& cpu_shown, Deadline deadline) {
    // The same figures as the where-you-stand request: the listed row (a hidden one has no page),
    // its spread and its place among every listed row.
    ProcessorStanding standing = read_processor_standing(store_, board_, type, cpu_key, deadline);
    if (!standing.row) {
        const std::string title = type == "single" ? "Single-Core" : "Multi-Core";
        return {404, error_page_html(404, reason_phrase(404),
                                     "The leaderboard has no " + title + " runs of \u201C" + cpu_shown + "\u201D."),
                {},
                {},
                0};
    }
    std::optional<StandingsRow> row = standing.row;
    ProcessorData data{PageRow{std::move(*standing.row), std::move(standing.spread)}, standing.rank,
                       standing.rows};
    return {200, processor_page_html(type, data), std::move(row), standing.rank, standing.rows};
}

bool Pages::still_placed(const std::string& type, const Page& page) const {
    if (page.status != 200) return true;
    const BoardSnapshot::Place place = board_.place_of(type, page.row);
    return place.rank == page.rank && place.rows == page.rows;
}

void Pages::forget(std::string_view type, std::string_view cpu_key) {
    kept_.forget(kept_key_of(type, cpu_key));
}

void Pages::forget_all() {
    kept_.forget_all();
}

void Pages::trust_notices(bool trusted) {
    kept_.trust_notices(trusted);
}

}  // namespace vornmark::server
