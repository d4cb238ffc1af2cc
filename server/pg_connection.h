#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>

#include <libpq-fe.h>

#include "server/store.h"

namespace vornmark::server {

using PgResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

// One libpq connection driven without blocking calls, so that every wait for the
// database ends at a deadline, or at once when `stop_fd` (an eventfd or pipe the
// store owns) becomes readable. A wait that ends that way leaves the connection
// unusable (`broken()`), since the database may still be working on the statement.
class PgConnection {
public:
    // Connects and prepares the session (English messages, the server-side statement
    // time-out). Throws StoreUnavailable when the database cannot be reached in time,
    // StoreError when it refuses (a wrong password, no such database). `application_name`, when
    // given, names the connection in pg_stat_activity.
    PgConnection(const std::string& uri, Deadline deadline, int stop_fd, const char* application_name = nullptr);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Runs one statement (several when there are no parameters) and checks that its
    // last result has the expected status. `what` names it in messages. Throws
    // StoreUnavailable when no answer came by the deadline or the connection broke,
    // StoreError when the database refused the statement (StoreUnavailable when it
    // cancelled it on its own statement time-out).
    PgResult run(const char* what, const char* statement, std::initializer_list<std::string> params,
                 ExecStatusType expected, Deadline deadline);
    PgResult command(const char* what, const char* statement, std::initializer_list<std::string> params,
                     Deadline deadline) {
        return run(what, statement, params, PGRES_COMMAND_OK, deadline);
    }
    PgResult query(const char* what, const char* statement, std::initializer_list<std::string> params,
                   Deadline deadline) {
        return run(what, statement, params, PGRES_TUPLES_OK, deadline);
    }

    // Statements sent together and answered together (libpq's pipeline mode): one round trip
    // for statements that need no answer in between. Throws as run() does for the first that
    // fails; returns the last statement's result.
    struct Statement {
        const char* what;
        const char* statement;
        std::initializer_list<std::string> params;
        ExecStatusType expected;
    };
    PgResult run_together(std::initializer_list<Statement> statements, Deadline deadline);

    // Usable for another call: not broken, no transaction left open, and nothing
    // arrived while idle (which would be the database ending the connection).
    bool reusable();
    bool broken() const { return broken_; }
    PGconn* get() const { return connection_; }
    std::string message() const;

private:
    enum class Wait { ready, timed_out, stopped };
    Wait wait_for(short events, Deadline deadline);
    [[noreturn]] void give_up(const char* what, Wait why);
    [[noreturn]] void broke(const char* what);
    [[noreturn]] void refused(const char* what, const PGresult* result);
    // Prepares a statement with parameters on this connection the first time it is used (one
    // round trip then), so that the database parses and plans it once, not on every request.
    void prepare(const char* what, const char* statement, std::size_t params, Deadline deadline);
    void send(const char* what, const char* statement, std::initializer_list<std::string> params);
    void flush(const char* what, Deadline deadline);
    // The next result, nothing when the statement's results have ended.
    PgResult next_result(const char* what, Deadline deadline);

    PGconn* connection_ = nullptr;
    int stop_fd_;
    bool broken_ = false;
    std::unordered_map<std::string, std::string> prepared_;  // statement text -> its name here
};

}  // namespace vornmark::server
