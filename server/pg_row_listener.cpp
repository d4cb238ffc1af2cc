#include "server/pg_row_listener.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "server/log.h"
#include "server/pg_connection.h"

namespace vornmark::server {

namespace {

using Clock = std::chrono::steady_clock;

int milliseconds_until(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

}  // namespace

PgRowListener::PgRowListener(std::string uri, RowNoticeSink& sink) : uri_(std::move(uri)), sink_(sink) {
    stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_fd_ < 0) throw std::runtime_error("cannot make an eventfd for the row notices");
    thread_ = std::thread([this] { run(); });
}

PgRowListener::~PgRowListener() {
    stopping_ = true;
    const std::uint64_t one = 1;
    while (write(stop_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(stop_fd_);
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
    // From here on no change is missed: what was kept before may be out of date.
    sink_.notices_trusted(true);
    trusted_ = true;
    if (lost || !heard_once_) log_line(std::string("row change notices: listening") + (lost ? " again" : ""));
    lost = false;
    heard_once_ = true;
    Clock::time_point next_check = Clock::now() + check_period;
    for (;;) {
        while (PGnotify* notice = PQnotifies(c.get())) {
            const std::string_view payload = notice->extra;
            const std::size_t split = payload.find('\n');
            if (split == std::string_view::npos) {
                sink_.all_rows_changed();
            } else {
                sink_.row_changed(payload.substr(0, split), payload.substr(split + 1));
            }
            PQfreemem(notice);
        }
        pollfd fds[2] = {{PQsocket(c.get()), POLLIN, 0}, {stop_fd_, POLLIN, 0}};
        const int n = poll(fds, 2, milliseconds_until(next_check));
        if (n < 0 && errno != EINTR) throw StoreUnavailable("row change notices: poll failed");
        if (stopping_ || (n > 0 && fds[1].revents != 0)) return;
        if (n > 0 && fds[0].revents != 0) {
            if (!PQconsumeInput(c.get()) || PQstatus(c.get()) != CONNECTION_OK)
                throw StoreUnavailable("the listening connection broke: " + c.message());
            continue;
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
