#include "server/pg_connection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vornmark::server {

namespace {

// The database cancels a statement that runs longer than this on its own (a lock it
// waits for, say), so that its connection is not held by a statement nobody awaits.
const char* const session_setup = "SET client_min_messages TO warning; SET statement_timeout TO 5000";

// SQLSTATE of a statement the database cancelled (its own time-out): nothing was done.
constexpr const char* query_canceled = "57014";

int milliseconds_until(Deadline deadline) {
    if (deadline == no_deadline) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    return left.count() > 60'000 ? 60'000 : static_cast<int>(left.count());
}

}  // namespace

PgConnection::PgConnection(const std::string& uri, Deadline deadline, int stop_fd, const char* application_name)
    : stop_fd_(stop_fd) {
    const std::string where = redacted_location(uri);
    const Deadline connected_by = std::min(deadline, store_call_deadline());
    if (application_name == nullptr) {
        connection_ = PQconnectStart(uri.c_str());
    } else {
        // The URI's own settings, and the name beside them.
        const char* const keys[] = {"dbname", "application_name", nullptr};
        const char* const values[] = {uri.c_str(), application_name, nullptr};
        connection_ = PQconnectStartParams(keys, values, 1);
    }
    if (connection_ == nullptr) throw StoreUnavailable("cannot connect to " + where + ": out of memory");
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    if (PQstatus(connection_) == CONNECTION_BAD) status = PGRES_POLLING_FAILED;
    while (status != PGRES_POLLING_OK) {
        Wait wait = Wait::ready;
        if (status != PGRES_POLLING_FAILED) {
            wait = wait_for(status == PGRES_POLLING_READING ? POLLIN : POLLOUT, connected_by);
        }
        if (status == PGRES_POLLING_FAILED || wait != Wait::ready) {
            std::string why = wait == Wait::stopped ? "the server is stopping"
                              : wait == Wait::timed_out
                                  ? "no answer within " + std::to_string(store_call_timeout.count()) + " s"
                                  : message();
            PQfinish(connection_);
            connection_ = nullptr;
            throw StoreUnavailable("cannot connect to " + where + ": " + why);
        }
        status = PQconnectPoll(connection_);
    }
    PQsetnonblocking(connection_, 1);
    try {
        command("session set-up", session_setup, {}, deadline);
    } catch (...) {
        PQfinish(connection_);
        throw;
    }
}

PgConnection::~PgConnection() {
    PQfinish(connection_);
}

std::string PgConnection::message() const {
    std::string text = PQerrorMessage(connection_);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text.empty() ? "the connection broke" : text;
}

PgConnection::Wait PgConnection::wait_for(short events, Deadline deadline) {
    pollfd fds[2] = {{PQsocket(connection_), events, 0}, {stop_fd_, POLLIN, 0}};
    for (;;) {
        const int timeout = milliseconds_until(deadline);
        if (timeout == 0) return Wait::timed_out;
        const int n = poll(fds, 2, timeout);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0 && fds[1].revents != 0) return Wait::stopped;
        if (n == 0) {
            if (milliseconds_until(deadline) == 0) return Wait::timed_out;
            continue;  // the 60 s slice of a long wait ran out
        }
        // Ready, or an error on the socket that libpq will report.
        return Wait::ready;
    }
}

void PgConnection::give_up(const char* what, Wait why) {
    broken_ = true;
    throw StoreUnavailable(std::string(what) + ": " +
                           (why == Wait::stopped ? "the server is stopping"
                                                 : "no answer from the database within the time allowed"));
}

void PgConnection::broke(const char* what) {
    broken_ = true;
    throw StoreUnavailable(std::string(what) + ": " + message());
}

void PgConnection::prepare(const char* what, const char* statement, std::size_t params, Deadline deadline) {
    if (params == 0 || prepared_.count(statement) != 0) return;
    const std::string name = "vornmark_" + std::to_string(prepared_.size() + 1);
    if (!PQsendPrepare(connection_, name.c_str(), statement, 0, nullptr)) broke(what);
    flush(what, deadline);
    PgResult outcome(nullptr, &PQclear);
    while (PgResult result = next_result(what, deadline)) {
        if (!outcome) outcome = std::move(result);
    }
    if (!outcome) broke(what);
    if (PQresultStatus(outcome.get()) != PGRES_COMMAND_OK) refused(what, outcome.get());
    prepared_.emplace(statement, name);
}

void PgConnection::send(const char* what, const char* statement, std::initializer_list<std::string> params) {
    std::vector<const char*> values;
    for (const std::string& p : params) values.push_back(p.c_str());
    int sent = 0;
    if (params.size() == 0) {
        sent = PQpipelineStatus(connection_) == PQ_PIPELINE_OFF
                   ? PQsendQuery(connection_, statement)
                   : PQsendQueryParams(connection_, statement, 0, nullptr, nullptr, nullptr, nullptr, 0);
    } else {
        sent = PQsendQueryPrepared(connection_, prepared_.at(statement).c_str(),
                                   static_cast<int>(values.size()), values.data(), nullptr, nullptr, 0);
    }
    if (!sent) broke(what);
}

void PgConnection::flush(const char* what, Deadline deadline) {
    for (;;) {
        const int flushed = PQflush(connection_);
        if (flushed == 0) return;
        if (flushed < 0) broke(what);
        if (Wait w = wait_for(POLLIN | POLLOUT, deadline); w != Wait::ready) give_up(what, w);
        if (!PQconsumeInput(connection_)) broke(what);
    }
}

PgResult PgConnection::next_result(const char* what, Deadline deadline) {
    while (PQisBusy(connection_)) {
        if (Wait w = wait_for(POLLIN, deadline); w != Wait::ready) give_up(what, w);
        if (!PQconsumeInput(connection_)) broke(what);
    }
    return PgResult(PQgetResult(connection_), &PQclear);
}

void PgConnection::refused(const char* what, const PGresult* result) {
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    // The primary message alone: the full one runs over several lines.
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    std::string text = primary ? primary : message();
    if (PQstatus(connection_) != CONNECTION_OK) broke(what);
    if (state && std::strcmp(state, query_canceled) == 0)
        throw StoreUnavailable(std::string(what) + ": " + text);
    throw StoreError(std::string(what) + ": " + text);
}

PgResult PgConnection::run(const char* what, const char* statement, std::initializer_list<std::string> params,
                           ExecStatusType expected, Deadline deadline) {
    if (broken_) throw StoreUnavailable(std::string(what) + ": the connection broke earlier");
    prepare(what, statement, params.size(), deadline);
    send(what, statement, params);
    flush(what, deadline);
    // Several statements give several results: keep the first failure, else the last.
    PgResult outcome(nullptr, &PQclear);
    while (PgResult result = next_result(what, deadline)) {
        if (!outcome || PQresultStatus(outcome.get()) == expected) outcome = std::move(result);
    }
    if (!outcome) broke(what);
    if (PQresultStatus(outcome.get()) != expected) refused(what, outcome.get());
    return outcome;
}

PgResult PgConnection::run_together(std::initializer_list<Statement> statements, Deadline deadline) {
    const char* what = statements.begin()->what;
    if (broken_) throw StoreUnavailable(std::string(what) + ": the connection broke earlier");
    for (const Statement& s : statements) prepare(s.what, s.statement, s.params.size(), deadline);
    if (PQenterPipelineMode(connection_) != 1) broke(what);
    for (const Statement& s : statements) send(s.what, s.statement, s.params);
    if (PQpipelineSync(connection_) != 1) broke(what);
    flush(what, deadline);
    // Each statement's results end with nothing; a failure makes the later ones "aborted".
    PgResult failure(nullptr, &PQclear);
    PgResult last(nullptr, &PQclear);
    const char* failed = what;
    for (const Statement& s : statements) {
        while (PgResult result = next_result(s.what, deadline)) {
            if (!failure && PQresultStatus(result.get()) != s.expected) {
                failure = std::move(result);
                failed = s.what;
            } else {
                last = std::move(result);
            }
        }
    }
    const PgResult sync = next_result(what, deadline);
    if (!sync || PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC || PQexitPipelineMode(connection_) != 1) {
        broke(what);
    }
    if (failure) refused(failed, failure.get());
    return last;
}

bool PgConnection::reusable() {
    if (broken_ || PQstatus(connection_) != CONNECTION_OK ||
        PQtransactionStatus(connection_) != PQTRANS_IDLE) {
        return false;
    }
    // An idle connection is sent nothing unasked (this store listens for no
    // notifications), so anything to read is the database ending it.
    pollfd p{PQsocket(connection_), POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

}  // namespace vornmark::server
