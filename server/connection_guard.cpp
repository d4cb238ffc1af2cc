#include "server/connection_guard.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server/timer.h"

namespace {

constexpr auto sweep_interval = std::chrono::milliseconds(250);

}  // namespace

class ConnectionGuard::Connection {
public:
    enum class Phase { head, body, answering };

    int fd = -1;  // the guard's own descriptor of the socket
    Phase phase = Phase::head;
    Clock::time_point since{};  // when the current phase began
    bool closing = false;       // shut down by the guard; the library has yet to notice
    std::list<Connection>::iterator self;

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
    connection.since = now;

    // Over the limit: the connection that has waited longest for its request goes.
    std::size_t open = 0;
    Connection* longest_waiting = nullptr;
    for (Connection& c : connections_) {
        if (c.closing) continue;
        ++open;
        if (c.phase != Connection::Phase::answering && &c != &connection &&
            (!longest_waiting || c.since < longest_waiting->since)) {
            longest_waiting = &c;
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
    std::lock_guard lock(mutex_);
    connection->phase = Connection::Phase::body;
    connection->since = now;
}

void ConnectionGuard::request_received(Connection* connection) {
    std::lock_guard lock(mutex_);
    connection->phase = Connection::Phase::answering;
}

void ConnectionGuard::reply_sent(Connection* connection, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    connection->phase = Connection::Phase::head;
    connection->since = now;
}

std::size_t ConnectionGuard::enforce_deadlines(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    std::size_t closed = 0;
    for (Connection& c : connections_) {
        if (c.closing || c.phase == Connection::Phase::answering) continue;
        const Clock::duration allowed =
            c.phase == Connection::Phase::head ? limits_.head_time : limits_.body_time;
        if (now - c.since >= allowed) {
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
