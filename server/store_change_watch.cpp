#include "server/store_change_watch.h"

#include "server/log.h"
#include "server/store.h"

namespace vornmark::server {

StoreChangeWatch::StoreChangeWatch(Store& store, RowNoticeSink& sink) : store_(store), sink_(sink) {
    thread_ = std::thread([this] { run(); });
}

StoreChangeWatch::~StoreChangeWatch() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void StoreChangeWatch::run() {
    bool trusted = false;
    bool said_lost = false;
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        std::optional<bool> written;
        try {
            written = store_.written_elsewhere(std::chrono::steady_clock::now() + patience);
        } catch (const StoreError& e) {
            if (!said_lost) {
                log_line(std::string("changes by other processes: cannot ask the database (") + e.what() +
                         "); answers about processors are kept for about a second until it answers");
                said_lost = true;
            }
        }
        if (!written) {
            if (trusted) sink_.notices_trusted(false);
            trusted = false;
        } else {
            if (*written) sink_.all_rows_changed();
            // Trusting them again drops whatever was kept meanwhile.
            if (!trusted) sink_.notices_trusted(true);
            trusted = true;
            said_lost = false;
        }
        lock.lock();
        wake_.wait_for(lock, period, [this] { return stopping_; });
    }
}

}  // namespace vornmark::server
