#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "server/row_notices.h"

namespace vornmark::server {

// Listens for notices of changed rows on a PostgreSQL connection of its own, on a thread of its
// own, and hands them to the sink. It tells the sink the notices are trusted once it listens, and
// no longer trusted as soon as the connection fails or stops answering (checked every
// `check_period`, each check given `check_patience`); then it connects again every
// `retry_period`. The sink must outlive it.
class PgRowListener {
public:
    static constexpr auto check_period = std::chrono::milliseconds(400);
    static constexpr auto check_patience = std::chrono::milliseconds(500);
    static constexpr auto retry_period = std::chrono::milliseconds(500);
    // The listening connection's name in pg_stat_activity.
    static constexpr const char* application_name = "vornmark row notices";

    PgRowListener(std::string uri, RowNoticeSink& sink);
    // Stops listening and waits for the thread.
    ~PgRowListener();
    PgRowListener(const PgRowListener&) = delete;
    PgRowListener& operator=(const PgRowListener&) = delete;

private:
    void run();
    // Listens on one connection until it fails (throws StoreError) or the listener stops.
    // `lost`: the log says notices were lost; it says so when they are heard again.
    void listen_once(bool& lost);
    // Waits until `timeout` or a stop; true when stopped.
    bool wait_for_stop(std::chrono::milliseconds timeout) const;

    const std::string uri_;
    RowNoticeSink& sink_;
    int stop_fd_ = -1;
    std::atomic<bool> stopping_{false};
    bool trusted_ = false;      // as last told to the sink (the thread's own)
    bool heard_once_ = false;  // listened before (the thread's own)
    std::thread thread_;
};

}  // namespace vornmark::server
