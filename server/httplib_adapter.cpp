#include "server/httplib_adapter.h"

#include <httplib.h>

#include "server/api.h"
#include "server/log.h"

namespace {

void answer(Api& api, const httplib::Request& req, httplib::Response& res) {
    ApiRequest request;
    request.method = req.method;
    request.path = req.path;
    if (req.has_param("type")) request.type = req.get_param_value("type");
    request.body = req.body;
    request.remote_address = req.remote_addr;
    ApiReply reply = api.handle(request);
    res.status = reply.status;
    if (!reply.allow.empty()) res.set_header("Allow", reply.allow);
    if (!reply.retry_after.empty()) res.set_header("Retry-After", reply.retry_after);
    res.set_content(reply.body, "application/json");
}

}  // namespace

void install_api(httplib::Server& server, Api& api) {
    auto route = [&api](const httplib::Request& req, httplib::Response& res) { answer(api, req, res); };
    for (const char* pattern : {".*"}) {
        server.Get(pattern, route);
        server.Post(pattern, route);
        server.Put(pattern, route);
        server.Patch(pattern, route);
        server.Delete(pattern, route);
        server.Options(pattern, route);
    }
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            res.set_content(error_reply(res.status, reason_for(res.status)).body, "application/json");
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        log_line(printable_for_log(req.remote_addr, 64) + " " + printable_for_log(req.method, 16) + " " +
                 printable_for_log(req.target) + " " + std::to_string(res.status) + " " +
                 std::to_string(res.body.size()));
    });
}
