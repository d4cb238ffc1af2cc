#include "server/api.h"

#include <cstdint>
#include <limits>
#include <string>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "server/log.h"
#include "server/rate_limiter.h"
#include "server/store.h"
#include "server/submission.h"

namespace {

const char* const api_path = R"(/api\.php)";
const char* const json_type = "application/json";

std::string to_json_text(const nlohmann::json& value) {
    // Names in the store are checked UTF-8; "replace" only guards a hand-edited database.
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void reply_error(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(to_json_text({{"error", message}}), json_type);
}

const char* reason_for(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 413:
        return "request body larger than 4096 bytes";
    case 414:
        return "request target too long";
    case 429:
        return "too many submissions";
    default:
        return status >= 500 ? "internal server error" : "request refused";
    }
}

std::int64_t clamp_to_int32(std::int64_t value) {
    return std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max());
}

void get_standings(Store& store, const httplib::Request& req, httplib::Response& res) {
    std::string type = req.has_param("type") ? req.get_param_value("type") : std::string();
    if (type != "single" && type != "multi") {
        reply_error(res, 400, "type must be \"single\" or \"multi\"");
        return;
    }
    nlohmann::json rows = nlohmann::json::array();
    for (const StandingsRow& row : store.standings(type)) {
        rows.push_back({{"cpu", row.cpu},
                        {"avg_score", clamp_to_int32(row.avg_score)},
                        {"runs", clamp_to_int32(row.runs)}});
    }
    res.set_content(to_json_text({{"leaderboard", std::move(rows)}}), json_type);
}

void post_submission(Store& store, RateLimiter& limiter, const httplib::Request& req,
                     httplib::Response& res) {
    // The server's payload limit already answers 413 for a declared length; this also
    // covers bodies whose length was not declared up front.
    if (req.body.size() > max_body_bytes) {
        reply_error(res, 413, reason_for(413));
        return;
    }
    if (!limiter.allow(req.remote_addr)) {
        res.set_header("Retry-After", "60");
        reply_error(res, 429, "too many submissions from this address; try again in a minute");
        return;
    }
    SubmissionCheck check = parse_submission(req.body);
    if (!check.ok()) {
        res.set_content(to_json_text({{"ok", false}, {"error", check.error}}), json_type);
        return;
    }
    store.add(check.submission);
    res.set_content(to_json_text({{"ok", true}}), json_type);
}

// Runs a route, turning a store failure into status 500 with a log line.
template <typename Route>
httplib::Server::Handler guarded(Route route) {
    return [route](const httplib::Request& req, httplib::Response& res) {
        try {
            route(req, res);
        } catch (const StoreError& e) {
            log_line(std::string("store error: ") + e.what());
            reply_error(res, 500, "storage error");
        }
    };
}

}  // namespace

void install_api(httplib::Server& server, Store& store, RateLimiter& limiter) {
    server.Get(api_path, guarded([&store](const httplib::Request& req, httplib::Response& res) {
                   get_standings(store, req, res);
               }));
    server.Post(api_path, guarded([&store, &limiter](const httplib::Request& req, httplib::Response& res) {
                    post_submission(store, limiter, req, res);
                }));

    auto not_allowed = [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Allow", "GET, HEAD, POST");
        reply_error(res, 405, reason_for(405));
    };
    server.Put(api_path, not_allowed);
    server.Patch(api_path, not_allowed);
    server.Delete(api_path, not_allowed);
    server.Options(api_path, not_allowed);

    // Every refusal the library makes on its own (404, 413, 400 ...) gets a JSON body too.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            reply_error(res, res.status, reason_for(res.status));
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
            std::string what = "unknown exception";
            try {
                if (error) std::rethrow_exception(error);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            log_line("request failed: " + what);
            reply_error(res, 500, reason_for(500));
        });

    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        log_line(printable_for_log(req.remote_addr, 64) + " " + printable_for_log(req.method, 16) + " " +
                 printable_for_log(req.target) + " " + std::to_string(res.status) + " " +
                 std::to_string(res.body.size()));
    });
}
