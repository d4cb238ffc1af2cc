#include "server/api.h"

#include <nlohmann/json.hpp>

#include "server/log.h"
#include "server/store.h"
#include "server/submission.h"

namespace {

constexpr std::string_view api_path = "/api.php";

}  // namespace

ApiReply error_reply(int status, const std::string& message) {
    ApiReply reply;
    reply.status = status;
    reply.body =
        nlohmann::json{{"error", message}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return reply;
}

const char* reason_for(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 408:
        return "request timed out";
    case 413:
        return "request body larger than 4096 bytes";
    case 414:
        return "request target too long";
    case 429:
        return "too many submissions";
    case 431:
        return "request headers larger than 16384 bytes";
    case 501:
        return "not implemented";
    default:
        return status >= 500 ? "internal server error" : "request refused";
    }
}

ApiReply Api::handle(const ApiRequest& request) {
    if (request.path != api_path) return error_reply(404, reason_for(404));
    try {
        if (request.method == "GET" || request.method == "HEAD") return get_standings(request);
        if (request.method == "POST") return post_submission(request);
    } catch (const StoreError& e) {
        log_line(std::string("store error: ") + e.what());
        return error_reply(500, "storage error");
    }
    ApiReply reply = error_reply(405, reason_for(405));
    reply.allow = "GET, HEAD, POST";
    return reply;
}

ApiReply Api::get_standings(const ApiRequest& request) {
    if (request.type != "single" && request.type != "multi") {
        return error_reply(400, "type must be \"single\" or \"multi\"");
    }
    ApiReply reply;
    reply.body = *standings_.reply_for(*request.type);
    return reply;
}

ApiReply Api::post_submission(const ApiRequest& request) {
    if (request.body.size() > max_body_bytes) return error_reply(413, reason_for(413));
    if (!store_.allow_submission(request.remote_address)) {
        ApiReply reply = error_reply(429, "too many submissions from this address; try again in a minute");
        reply.retry_after = "60";
        return reply;
    }
    ApiReply reply;
    SubmissionCheck check = parse_submission(request.body);
    if (!check.ok()) {
        reply.body = nlohmann::json{{"ok", false}, {"error", check.error}}.dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace);
        return reply;
    }
    store_.add(check.submission);
    standings_.forget(check.submission.type);
    reply.body = R"({"ok":true})";
    return reply;
}
