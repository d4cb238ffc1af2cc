#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "server/row_notices.h"

namespace vornmark::server {

class Store;

// For a store that cannot announce its changes (SQLite): asks it every `period`, on a thread of
// its own, whether another process has written the database, and tells the sink that every row
// may have changed when it has. Its own process's changes reach the sink as they are made, so the
// sink may trust the notices while the asking works; after `patience` without an answer (the
// connection held by long work) it stops trusting them until the next answer. The store and the
// sink must outlive it.
class StoreChangeWatch {
public:
    static constexpr auto period = std::chrono::milliseconds(250);
    static constexpr auto patience = std::chrono::milliseconds(500);

    StoreChangeWatch(Store& store, RowNoticeSink& sink);
    // Stops asking and waits for the thread.
    ~StoreChangeWatch();
    StoreChangeWatch(const StoreChangeWatch&) = delete;
    StoreChangeWatch& operator=(const StoreChangeWatch&) = delete;

private:
    void run();

    Store& store_;
    RowNoticeSink& sink_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vornmark::server
