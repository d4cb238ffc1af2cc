#include "server/pg_row_listener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "server/log.h"
#include "server/pg_connection.h"

namespace vornmark::server {

namespace {

using Clock = std::chrono::steady_clock;

int milliseconds_until(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

// A notice's rows to the sink: type and key by turns, '\n' between each; none, every row.
void hand_over_notice(std::string_view payload, RowNoticeSink& sink) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0; !payload.empty();) {
        const std::size_t end = payload.find('\n', from);
        parts.push_back(payload.substr(from, end == std::string_view::npos ? end : end - from));
        if (end == std::string_view::npos) break;
        from = end + 1;
    }
    if (parts.empty() || parts.size() % 2 != 0) {
        sink.all_rows_changed();
        return;
    }
    for (std::size_t i = 0; i < parts.size(); i += 2) sink.row_changed(parts[i], parts[i + 1]);
}

}  // namespace

PgRowListener::PgRowListener(std::string uri, RowNoticeSink& sink) : uri_(std::move(uri)), sink_(sink) {
    stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    published_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_fd_ < 0 || published_fd_ < 0) {
        if (stop_fd_ >= 0) close(stop_fd_);
        if (published_fd_ >= 0) close(published_fd_);
        throw std::runtime_error("cannot make an eventfd for the row notices");
    }
    thread_ = std::thread([this] { run(); });
}

void PgRowListener::publish(std::string_view type, std::string_view cpu_key) {
    bool wake = false;
    {
        std::lock_guard lock(published_mutex_);
        if (every_row_published_) return;
        wake = published_.empty();
        if (published_.size() >= most_waiting) {
            every_row_published_ = true;
            published_.clear();
        } else {
            published_.push_back(std::string(type) + '\n' + std::string(cpu_key));
        }
    }
    if (!wake) return;
    const std::uint64_t one = 1;
    while (write(published_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PgRowListener::send_published(PgConnection& c) {
    std::vector<std::string> rows;
    bool every_row = false;
    {
        std::lock_guard lock(published_mutex_);
        rows.swap(published_);
        std::swap(every_row, every_row_published_);
    }
    if (rows.empty() && !every_row) return;
    const std::string channel(row_notice_channel);
    try {
        const Clock::time_point deadline = Clock::now() + check_patience;
        if (every_row) {
            c.query("tell the other processes", "SELECT pg_notify($1, '')", {channel}, deadline);
            return;
        }
        // A notice's payload must stay under 8,000 bytes.
        constexpr std::size_t payload_limit = 7000;
        std::string payload;
        for (std::size_t i = 0; i <= rows.size(); ++i) {
            if (i == rows.size() || (!payload.empty() && payload.size() + 1 + rows[i].size() > payload_limit)) {
                c.query("tell the other processes", "SELECT pg_notify($1, $2)", {channel, payload}, deadline);
                payload.clear();
                if (i == rows.size()) break;
            }
            if (!payload.empty()) payload += '\n';
            payload += rows[i];
        }
    } catch (...) {
        // Sent again once the connection is back (twice, for some: a notice heard twice costs a read).
        std::lock_guard lock(published_mutex_);
        if (every_row || published_.size() + rows.size() > most_waiting) {
            every_row_published_ = true;
            published_.clear();
        } else {
            published_.insert(published_.end(), rows.begin(), rows.end());
        }
        throw;
    }
}

PgRowListener::~PgRowListener() {
    stopping_ = true;
    const std::uint64_t one = 1;
    while (write(stop_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(stop_fd_);
    close(published_fd_);
}

bool PgRowListener::wait_for_stop(std::chrono::milliseconds timeout) const {
    pollfd stop{stop_fd_, POLLIN, 0};
    const Clock::time_point until = Clock::now() + timeout;
    while (!stopping_) {
        const int n = poll(&stop, 1, milliseconds_until(until));
        if (n == 0) return stopping_;
        if (n < 0 && errno != EINTR) return stopping_;
    }
    return true;
}

void PgRowListener::run() {
    bool lost = false;  // said in the log, until listening again
    while (!stopping_) {
        try {
            listen_once(lost);
            return;  // stopped while listening
        } catch (const StoreError& e) {
            if (trusted_) {
                sink_.notices_trusted(false);
                trusted_ = false;
            }
            if (stopping_) return;
            // Once per loss, not once per attempt to connect again.
            if (!lost) {
                log_line(std::string("row change notices: ") + e.what() +
                         "; answers about processors are kept for about a second until listening again");
                lost = true;
            }
        }
        if (wait_for_stop(retry_period)) return;
    }
}

void PgRowListener::listen_once(bool& lost) {
    PgConnection c(uri_, Clock::now() + check_patience * 4, stop_fd_, application_name);
    const std::string listen = "LISTEN " + std::string(row_notice_channel);
    c.command("listen for row changes", listen.c_str(), {}, Clock::now() + check_patience * 4);
    // A notice is heard at its commit, and nothing is lost if the database stops before that
    // commit is on disk: the notices' commits need not wait for the disk, and the submissions'
    // commits do not wait behind them.
    c.command("send notices without waiting for the disk", "SET synchronous_commit = off", {},
              Clock::now() + check_patience * 4);
    // From here on no change is missed: what was kept before may be out of date.
    sink_.notices_trusted(true);
    trusted_ = true;
    if (lost || !heard_once_) log_line(std::string("row change notices: listening") + (lost ? " again" : ""));
    lost = false;
    heard_once_ = true;
    // What this process changed while the connection was down.
    send_published(c);
    const int own_backend = PQbackendPID(c.get());
    Clock::time_point next_check = Clock::now() + check_period;
    Clock::time_point send_at = Clock::time_point::max();
    for (;;) {
        while (PGnotify* notice = PQnotifies(c.get())) {
            // This process's own were handled when it made them.
            if (notice->be_pid != own_backend) hand_over_notice(notice->extra, sink_);
            PQfreemem(notice);
        }
        pollfd fds[3] = {{PQsocket(c.get()), POLLIN, 0}, {stop_fd_, POLLIN, 0}, {published_fd_, POLLIN, 0}};
        const int n = poll(fds, 3, milliseconds_until(std::min(next_check, send_at)));
        if (n < 0 && errno != EINTR) throw StoreUnavailable("row change notices: poll failed");
        if (stopping_ || (n > 0 && fds[1].revents != 0)) return;
        if (n > 0 && fds[2].revents != 0) {
            std::uint64_t count = 0;
            while (read(published_fd_, &count, sizeof count) < 0 && errno == EINTR) {
            }
            send_at = std::min(send_at, Clock::now() + gather);
        }
        if (n > 0 && fds[0].revents != 0) {
            if (!PQconsumeInput(c.get()) || PQstatus(c.get()) != CONNECTION_OK)
                throw StoreUnavailable("the listening connection broke: " + c.message());
        }
        if (Clock::now() >= send_at) {
            send_at = Clock::time_point::max();
            send_published(c);
        }
        if (Clock::now() >= next_check) {
            // A database that stopped answering (or a connection gone silently) says nothing:
            // it is asked.
            c.query("check the listening connection", "SELECT 1", {}, Clock::now() + check_patience);
            next_check = Clock::now() + check_period;
        }
    }
}

}  // namespace vornmark::server
