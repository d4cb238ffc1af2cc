#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/row_notices.h"
#include "server/standings_cache.h"

namespace vornmark::server {

class AddressKey;
class BoardSnapshot;
class Pages;
class StandingAnswers;
class Store;
class StoreWorkers;
class Timer;

// Largest request body the server reads; bigger ones get status 413.
inline constexpr std::size_t max_body_bytes = 4096;

// One request as the HTTP layer hands it over, fully read.
struct ApiRequest {
    std::string_view method;
    std::string_view path;
    std::optional<std::string> type;   // the query parameter "type"
    std::optional<std::string> cpu;    // the query parameter "cpu" (a processor's page, where a score stands)
    std::optional<std::string> score;  // the query parameter "score" (where that score stands)
    bool accepts_gzip = false;         // Accept-Encoding takes gzip (for the standings page)
    std::string_view body;
    std::string remote_address;
};

struct ApiReply {
    int status = 200;
    std::string body;  // JSON, or a page's HTML
    std::string content_type = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;  // more headers (a page's)
    std::string allow;                                         // the Allow header of a 405, else empty
    std::string retry_after;  // the Retry-After header of a 429 or 503, else empty
    std::string age;          // the Age header of the standings: seconds since they were read
    // Whether a submission was stored is not known (the database stopped answering
    // during its commit): the connection is closed without a reply rather than telling
    // the client either way.
    bool close_without_reply = false;
};

// Called once with the reply of a request that waited for the store.
using Respond = std::function<void(ApiReply)>;

// The leaderboard on "/api.php": GET the standings of a run type, GET with "cpu" (and "score")
// where a score stands among a processor's runs (StandingAnswers), POST a submission;
// JSON error bodies for every other outcome. Every other path goes to the web pages
// (Pages). Free of any HTTP library. The store is only ever called on the workers,
// never on the caller's thread. Safe to call from several threads; store, workers and
// timer must outlive it. Notices of rows changed elsewhere (another process on the same
// PostgreSQL database, an operator's command) reach the answers it keeps about rows through
// RowNoticeSink.
class Api : public RowNoticeSink {
public:
    // `key` makes the address units stored; it must outlive the Api too.
    // `standing_per_minute`: where-you-stand requests per address unit and minute.
    Api(Store& store, StoreWorkers& workers, Timer& timer, const AddressKey& key,
        int standing_per_minute = 120);
    ~Api() override;

    // Reads the standings once at start-up (on the caller's thread); throws StoreError.
    void fill_standings();

    // The reply, at once, when the request needs no store call (or the standings are at
    // hand); otherwise nothing, and `respond` is called exactly once later, from another
    // thread: within about 5 s, a little longer only while a commit is in doubt.
    std::optional<ApiReply> handle(const ApiRequest& request, Respond respond);

    void row_changed(std::string_view type, std::string_view cpu_key) override;
    void all_rows_changed() override;
    void notices_trusted(bool trusted) override;
    // Where this process's submissions tell the other processes of the rows they changed; set
    // before serving, and outliving every submission.
    void publish_changes_to(RowNoticePublisher& publisher) { publisher_ = &publisher; }

    // One line for the log: where-you-stand answers and processor pages given, and the share
    // of them given from memory.
    std::string answered_from_memory() const;

private:
    struct PendingSubmission;

    std::optional<ApiReply> get_standings(const ApiRequest& request, Respond respond);
    std::optional<ApiReply> post_submission(const ApiRequest& request, Respond respond);
    ApiReply store_submission(PendingSubmission& pending);

    Store& store_;
    const AddressKey& key_;
    StoreWorkers& workers_;
    Timer& timer_;
    StandingsCache standings_;
    std::shared_ptr<BoardSnapshot> board_;
    std::unique_ptr<StandingAnswers> standing_answers_;
    RowNoticePublisher* publisher_ = nullptr;
    std::unique_ptr<Pages> pages_;
};

// {"error":"..."} with the status.
ApiReply error_reply(int status, const std::string& message);
// The message of a refusal by status ("bad request", "request body larger than 4096 bytes" ...).
const char* reason_for(int status);

}  // namespace vornmark::server
