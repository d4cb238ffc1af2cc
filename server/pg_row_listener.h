#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/row_notices.h"

namespace vornmark::server {

class PgConnection;

// Listens for notices of changed rows on a PostgreSQL connection of its own, on a thread of its
// own, and hands them to the sink. It tells the sink the notices are trusted once it listens, and
// no longer trusted as soon as the connection fails or stops answering (checked every
// `check_period`, each check given `check_patience`); then it connects again every
// `retry_period`. The sink must outlive it.
//
// It also tells the other processes of this one's changes, published once committed: those
// published within `gather` go in one notice, from this connection, so that the submissions'
// own transactions send none (a transaction that notifies holds PostgreSQL's notice queue lock
// through its commit, and the submissions' commits would take turns behind it). Changes published
// while the connection is down are sent once it is back.
class PgRowListener : public RowNoticePublisher {
public:
    static constexpr auto gather = std::chrono::milliseconds(20);
    // Past this many rows waiting, one notice of every row is sent instead.
    static constexpr std::size_t most_waiting = 10000;
    static constexpr auto check_period = std::chrono::milliseconds(400);
    static constexpr auto check_patience = std::chrono::milliseconds(500);
    static constexpr auto retry_period = std::chrono::milliseconds(500);
    // The listening connection's name in pg_stat_activity.
    static constexpr const char* application_name = "vornmark row notices";

    PgRowListener(std::string uri, RowNoticeSink& sink);
    // Stops listening and waits for the thread.
    ~PgRowListener() override;
    PgRowListener(const PgRowListener&) = delete;
    PgRowListener& operator=(const PgRowListener&) = delete;

    // Thread-safe.
    void publish(std::string_view type, std::string_view cpu_key) override;

private:
    void run();
    // Sends what was published; on a failure it stays waiting, and the error is thrown.
    void send_published(PgConnection& c);
    // Listens on one connection until it fails (throws StoreError) or the listener stops.
    // `lost`: the log says notices were lost; it says so when they are heard again.
    void listen_once(bool& lost);
    // Waits until `timeout` or a stop; true when stopped.
    bool wait_for_stop(std::chrono::milliseconds timeout) const;

    const std::string uri_;
    RowNoticeSink& sink_;
    int stop_fd_ = -1;
    int published_fd_ = -1;  // readable when something was published
    std::mutex published_mutex_;
    std::vector<std::string> published_;  // "type\ncpu_key"
    bool every_row_published_ = false;
    std::atomic<bool> stopping_{false};
    bool trusted_ = false;      // as last told to the sink (the thread's own)
    bool heard_once_ = false;  // listened before (the thread's own)
    std::thread thread_;
};

}  // namespace vornmark::server
