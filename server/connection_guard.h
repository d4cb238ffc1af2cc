#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>

namespace vornmark::server {

class Timer;

// Keeps every open connection of the HTTP layer with where its request stands, so that
// a client cannot hold a connection by sending its request slowly: the request head
// must arrive within `head_time` of connecting (or of the previous reply), its body
// within `body_time` of the head, or the connection is closed. When more than
// `connections` are open, the one that has waited longest for its request is closed to
// make room, so a new client still gets in. Connections whose request is complete
// (being answered) are never closed here. Called from the library's threads; the
// deadlines are checked on the timer.
class ConnectionGuard {
public:
    using Clock = std::chrono::steady_clock;
    struct Limits {
        std::size_t connections = 1000;
        Clock::duration head_time = std::chrono::seconds(10);
        Clock::duration body_time = std::chrono::seconds(10);
    };
    class Connection;

    ConnectionGuard(Limits limits, Timer& timer);
    // Every connection must have been closed by then.
    ~ConnectionGuard();
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

    // A connection on socket `fd` opened; the guard keeps a descriptor of its own for
    // the same socket until closed(), so that it can shut the socket down from any thread.
    Connection* opened(int fd, Clock::time_point now = Clock::now());
    void closed(Connection* connection);

    // Where the connection's current request stands; from the connection's own thread, without
    // taking the guard's lock.
    void head_received(Connection* connection, Clock::time_point now = Clock::now());
    void request_received(Connection* connection);
    void reply_sent(Connection* connection, Clock::time_point now = Clock::now());

    // Closes the connections past their deadlines; returns how many.
    std::size_t enforce_deadlines(Clock::time_point now = Clock::now());
    std::size_t open_count() const;

private:
    void sweep_later();

    const Limits limits_;
    Timer& timer_;
    mutable std::mutex mutex_;
    std::list<Connection> connections_;
};

}  // namespace vornmark::server
