#include "server/connection_guard.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "server/timer.h"

namespace vornmark::server {

namespace {

constexpr auto sweep_interval = std::chrono::milliseconds(250);

}  // namespace

class ConnectionGuard::Connection {
public:
    enum class Phase { head, body, answering };

    int fd = -1;  // the guard's own descriptor of the socket
    // Set by the connection's own thread without the guard's lock: `since` before `phase`, so a
    // sweep that sees the new phase sees its start too (seeing the old phase with the new start
    // only gives the connection more time).
    std::atomic<Phase> phase{Phase::head};
    std::atomic<Clock::rep> since{0};  // when the current phase began
    bool closing = false;              // shut down by the guard; the library has yet to notice
    std::list<Connection>::iterator self;

    void enter(Phase next, Clock::time_point now) {
        since.store(now.time_since_epoch().count(), std::memory_order_relaxed);
        phase.store(next, std::memory_order_release);
    }
    // How long the connection has been in its phase, which it returns.
    Phase phase_and_age(Clock::time_point now, Clock::duration& age) const {
        const Phase current = phase.load(std::memory_order_acquire);
        age = now - Clock::time_point(Clock::duration(since.load(std::memory_order_relaxed)));
        return current;
    }

    // Ends the connection: the library sees the socket closed and cleans up.
    void shut() {
        closing = true;
        shutdown(fd, SHUT_RDWR);
    }
};

ConnectionGuard::ConnectionGuard(Limits limits, Timer& timer) : limits_(limits), timer_(timer) {
    sweep_later();
}

ConnectionGuard::~ConnectionGuard() {
    std::lock_guard lock(mutex_);
    for (Connection& c : connections_) close(c.fd);
}

ConnectionGuard::Connection* ConnectionGuard::opened(int fd, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    Connection& connection = connections_.emplace_back();
    connection.self = std::prev(connections_.end());
    connection.fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    connection.enter(Connection::Phase::head, now);

    // Over the limit: the connection that has waited longest for its request goes.
    std::size_t open = 0;
    Connection* longest_waiting = nullptr;
    Clock::duration longest_wait{};
    for (Connection& c : connections_) {
        if (c.closing) continue;
        ++open;
        Clock::duration waited{};
        if (c.phase_and_age(now, waited) != Connection::Phase::answering && &c != &connection &&
            (!longest_waiting || waited > longest_wait)) {
            longest_waiting = &c;
            longest_wait = waited;
        }
    }
    if (open > limits_.connections) {
        // Everything else is being answered: the newcomer waits its turn elsewhere.
        (longest_waiting ? longest_waiting : &connection)->shut();
    }
    return &connection;
}

void ConnectionGuard::closed(Connection* connection) {
    std::lock_guard lock(mutex_);
    if (connection->fd >= 0) close(connection->fd);
    connections_.erase(connection->self);
}

void ConnectionGuard::head_received(Connection* connection, Clock::time_point now) {
    connection->enter(Connection::Phase::body, now);
}

void ConnectionGuard::request_received(Connection* connection) {
    connection->phase.store(Connection::Phase::answering, std::memory_order_release);
}

void ConnectionGuard::reply_sent(Connection* connection, Clock::time_point now) {
    connection->enter(Connection::Phase::head, now);
}

std::size_t ConnectionGuard::enforce_deadlines(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    std::size_t closed = 0;
    for (Connection& c : connections_) {
        if (c.closing) continue;
        Clock::duration waited{};
        const Connection::Phase phase = c.phase_and_age(now, waited);
        if (phase == Connection::Phase::answering) continue;
        if (waited >= (phase == Connection::Phase::head ? limits_.head_time : limits_.body_time)) {
            c.shut();
            ++closed;
        }
    }
    return closed;
}

std::size_t ConnectionGuard::open_count() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

void ConnectionGuard::sweep_later() {
    timer_.at(Clock::now() + sweep_interval, [this] {
        enforce_deadlines();
        sweep_later();
    });
}

}  // namespace vornmark::server
