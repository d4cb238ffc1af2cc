#include "server/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>

#include <microhttpd.h>

#include "server/address_unit.h"
#include "server/api.h"
#include "server/connection_guard.h"
#include "server/gzip.h"
#include "server/log.h"
#include "server/request_head.h"

namespace vornmark::server {

struct HttpServer::Context {
    Api* api = nullptr;
    // Connections open per address unit (an IPv4 address, an IPv6 /64): the library's own
    // limit counts exact addresses, and one IPv6 client holds a whole /64.
    unsigned per_unit_limit = 64;
    std::mutex units_mutex;
    std::unordered_map<std::string, unsigned> open_per_unit;
    std::unordered_map<MHD_Connection*, std::string> unit_of_connection;
    bool trust_forwarded_for = false;
    std::unique_ptr<ConnectionGuard> guard;
    // The library's own messages are logged while it starts (a certificate it cannot
    // use, say); afterwards they would only echo what clients send.
    std::atomic<bool> starting{false};
    // Requests set aside for the Api whose answer the library has not yet taken back.
    std::atomic<int> set_aside{0};
};

namespace {

using Context = HttpServer::Context;

// Memory of one connection: read buffer, parsed headers and the reply's header block. A head up
// to here reaches the checks below (and gets their JSON refusal); beyond it the library refuses it
// itself. Kept small: the library clears a connection's memory for every request it reads.
constexpr std::size_t connection_memory = 2 * max_header_bytes;
// A body past the limit is read and thrown away up to this much, so that the client
// gets its 413; beyond it the connection is closed.
constexpr std::size_t discard_limit = 1024 * 1024;

void library_message(void* context, const char* format, va_list arguments) {
    if (!static_cast<Context*>(context)->starting) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    log_line("http: " + line);
}

// One request, from its request line until it is answered.
struct RequestState {
    std::size_t target_bytes = 0;  // the request target as sent, query included
    bool head_checked = false;
    std::string body;
    std::size_t received = 0;

    // Handed to the Api, which answers from another thread when it needs the store.
    MHD_Connection* connection = nullptr;
    bool handed_over = false;
    std::mutex mutex;
    std::optional<ApiReply> reply;
    bool suspended = false;
};

ConnectionGuard::Connection* guarded(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<ConnectionGuard::Connection*>(info->socket_context) : nullptr;
}

std::string peer_address(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return "unknown";
    char text[INET6_ADDRSTRLEN] = "unknown";
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    }
    return text;
}

MHD_Result collect_forwarded_for(void* last_pointer, MHD_ValueKind, const char* key, const char* value) {
    if (strcasecmp(key, "X-Forwarded-For") == 0 && value) *static_cast<std::string*>(last_pointer) = value;
    return MHD_YES;
}

// With a trusted proxy in front: the last address of the last X-Forwarded-For header,
// the one the proxy itself added (those before it are the client's own word).
// Otherwise, or when that is no address, the connection's peer.
std::string client_address(const Context& context, MHD_Connection* connection) {
    if (context.trust_forwarded_for) {
        std::string forwarded;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, collect_forwarded_for, &forwarded);
        std::string last = forwarded.substr(
            forwarded.find_last_of(',') == std::string::npos ? 0 : forwarded.find_last_of(',') + 1);
        last.erase(0, last.find_first_not_of(" \t"));
        last.erase(last.find_last_not_of(" \t") + 1);
        unsigned char binary[sizeof(in6_addr)];
        if (inet_pton(AF_INET, last.c_str(), binary) == 1 || inet_pton(AF_INET6, last.c_str(), binary) == 1) {
            return last;
        }
    }
    return peer_address(connection);
}

void log_request(const Context& context, MHD_Connection* connection, const char* method, const char* url,
                 const std::string& outcome) {
    const char* type = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "type");
    std::string target = url;
    if (type) target += std::string("?type=") + type;
    log_line(printable_for_log(client_address(context, connection), 64) + " " +
             printable_for_log(method, 16) + " " + printable_for_log(target) + " " + outcome);
}

MHD_Result send_reply(const Context& context, MHD_Connection* connection, const char* method, const char* url,
                      const ApiReply& reply, bool close_after = false) {
    if (reply.close_without_reply) {
        log_request(context, connection, method, url, "closed without a reply");
        return MHD_NO;
    }
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.content_type.c_str());
    for (const auto& [name, value] : reply.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    if (!reply.allow.empty()) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, reply.allow.c_str());
    if (!reply.retry_after.empty()) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, reply.retry_after.c_str());
    }
    if (!reply.age.empty()) MHD_add_response_header(response, MHD_HTTP_HEADER_AGE, reply.age.c_str());
    if (close_after) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    log_request(context, connection, method, url,
                std::to_string(reply.status) + " " + std::to_string(reply.body.size()));
    return queued;
}

MHD_Result collect_header(void* head, MHD_ValueKind, const char* key, const char* value) {
    static_cast<RequestHead*>(head)->headers.push_back({key, value ? value : ""});
    return MHD_YES;
}

// The first call for a request, with the head complete: refuses what must not be read
// on. Returns true when it has answered.
bool refused_before_body(const Context& context, MHD_Connection* connection, const RequestState& state,
                         const char* method, const char* url, const char* version, MHD_Result& result) {
    RequestHead head;
    head.method = method;
    head.version = version;
    head.target_bytes = state.target_bytes;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collect_header, &head);
    std::optional<HeadRefusal> refusal = check_request_head(head, max_header_bytes, max_body_bytes);
    if (!refusal) return false;
    const std::string message = refusal->message.empty() ? reason_for(refusal->status) : refusal->message;
    result = send_reply(context, connection, method, url, error_reply(refusal->status, message),
                        /*close_after=*/true);
    return true;
}

// The Api's answer to a request it set aside: kept with the request, and the library
// told to take the connection up again.
Respond answer_later(RequestState& state) {
    return [&state](ApiReply reply) {
        std::lock_guard lock(state.mutex);
        state.reply = std::move(reply);
        if (state.suspended) {
            state.suspended = false;
            MHD_resume_connection(state.connection);
        }
    };
}

MHD_Result on_request(void* context_pointer, MHD_Connection* connection, const char* url, const char* method,
                      const char* version, const char* upload_data, size_t* upload_data_size,
                      void** request_state) {
    Context& context = *static_cast<Context*>(context_pointer);
    if (*request_state == nullptr) *request_state = new RequestState;
    auto& state = *static_cast<RequestState*>(*request_state);

    if (!state.head_checked) {
        state.head_checked = true;
        if (ConnectionGuard::Connection* guard = guarded(connection)) context.guard->head_received(guard);
        MHD_Result result = MHD_NO;
        if (refused_before_body(context, connection, state, method, url, version, result)) return result;
        return MHD_YES;
    }
    if (*upload_data_size > 0) {
        state.received += *upload_data_size;
        if (state.received > discard_limit) return MHD_NO;
        if (state.body.size() <= max_body_bytes) {
            state.body.append(upload_data,
                              std::min(*upload_data_size, max_body_bytes + 1 - state.body.size()));
        }
        *upload_data_size = 0;
        return MHD_YES;
    }

    if (!state.handed_over) {
        state.handed_over = true;
        if (ConnectionGuard::Connection* guard = guarded(connection)) context.guard->request_received(guard);
        if (state.received > max_body_bytes) {
            return send_reply(context, connection, method, url, error_reply(413, reason_for(413)));
        }
        ApiRequest request;
        request.method = method;
        request.path = url;
        if (const char* type = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "type")) {
            request.type = type;
        }
        if (const char* score = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "score")) {
            request.score = score;
        }
        // With its length: a name with a NUL byte in it is refused, never cut short.
        const char* cpu = nullptr;
        std::size_t cpu_bytes = 0;
        if (MHD_lookup_connection_value_n(connection, MHD_GET_ARGUMENT_KIND, "cpu", 3, &cpu, &cpu_bytes) ==
                MHD_YES &&
            cpu) {
            request.cpu = std::string(cpu, cpu_bytes);
        }
        request.accepts_gzip = accepts_gzip(
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_ENCODING));
        request.body = state.body;
        request.remote_address = client_address(context, connection);
        state.connection = connection;
        std::optional<ApiReply> now = context.api->handle(request, answer_later(state));
        if (now) return send_reply(context, connection, method, url, *now);

        std::lock_guard lock(state.mutex);
        if (!state.reply) {
            // Set aside until the Api answers; the connection is not polled meanwhile.
            state.suspended = true;
            ++context.set_aside;
            MHD_suspend_connection(connection);
            return MHD_YES;
        }
        // Answered already, before the request could be set aside.
        ++context.set_aside;
    }

    // Taken up again with the Api's answer.
    std::optional<ApiReply> reply;
    {
        std::lock_guard lock(state.mutex);
        reply = std::move(state.reply);
    }
    if (!reply) return MHD_NO;
    --context.set_aside;
    return send_reply(context, connection, method, url, *reply);
}

// Called before the request line is parsed: the target as the client sent it, query
// included, so that its length counts toward the head's limit.
void* on_request_line(void*, const char* uri, MHD_Connection*) {
    auto* state = new RequestState;
    state->target_bytes = std::strlen(uri);
    return state;
}

void on_completed(void* context_pointer, MHD_Connection* connection, void** request_state,
                  MHD_RequestTerminationCode) {
    delete static_cast<RequestState*>(*request_state);
    *request_state = nullptr;
    if (ConnectionGuard::Connection* guard = guarded(connection)) {
        static_cast<Context*>(context_pointer)->guard->reply_sent(guard);
    }
}

// Counts the connection toward its address unit; false when the unit has its limit open already.
bool count_unit(Context& context, MHD_Connection* connection) {
    const std::string unit = address_unit(peer_address(connection)).value_or("unknown");
    std::lock_guard lock(context.units_mutex);
    unsigned& open = context.open_per_unit[unit];
    if (open >= context.per_unit_limit) {
        if (open == 0) context.open_per_unit.erase(unit);
        return false;
    }
    ++open;
    context.unit_of_connection[connection] = unit;
    return true;
}

void uncount_unit(Context& context, MHD_Connection* connection) {
    std::lock_guard lock(context.units_mutex);
    auto at = context.unit_of_connection.find(connection);
    if (at == context.unit_of_connection.end()) return;
    auto open = context.open_per_unit.find(at->second);
    if (open != context.open_per_unit.end() && --open->second == 0) context.open_per_unit.erase(open);
    context.unit_of_connection.erase(at);
}

void on_connection(void* context_pointer, MHD_Connection* connection, void** socket_context,
                   MHD_ConnectionNotificationCode code) {
    Context& context = *static_cast<Context*>(context_pointer);
    ConnectionGuard& guard = *context.guard;
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const int fd = info ? info->connect_fd : -1;
        // Over its unit's limit: the socket is shut at once, and the library closes it.
        if (!count_unit(context, connection) && fd >= 0) shutdown(fd, SHUT_RDWR);
        *socket_context = guard.opened(fd);
    } else {
        uncount_unit(context, connection);
        if (*socket_context != nullptr) {
            guard.closed(static_cast<ConnectionGuard::Connection*>(*socket_context));
            *socket_context = nullptr;
        }
    }
}

}  // namespace

HttpServer::HttpServer(const HttpSettings& settings, Api& api, Timer& timer)
    : context_(std::make_unique<Context>()) {
    context_->api = &api;
    context_->trust_forwarded_for = settings.trust_forwarded_for;
    context_->per_unit_limit = settings.limits.connections_per_address;
    const auto request_time = std::chrono::seconds(settings.limits.request_seconds);
    context_->guard = std::make_unique<ConnectionGuard>(
        ConnectionGuard::Limits{settings.limits.connections, request_time, request_time}, timer);

    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG | MHD_USE_ITC |
                     MHD_ALLOW_SUSPEND_RESUME;
    if (settings.tls) flags |= MHD_USE_TLS;
    if (settings.ipv6) flags |= MHD_USE_IPv6;

    MHD_OptionItem tls_options[] = {
        {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(settings.cert_pem.c_str())},
        {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(settings.key_pem.c_str())},
        {MHD_OPTION_END, 0, nullptr},
    };
    MHD_OptionItem no_options[] = {{MHD_OPTION_END, 0, nullptr}};

    // The library's own limit leaves room above the guard's, which closes a waiting
    // connection for each one past it: the library must never stop accepting first.
    const unsigned threads = std::max(1u, settings.limits.threads);
    const unsigned library_limit =
        settings.limits.connections + settings.limits.connections / 4 + 4 * threads;
    Context* context = context_.get();
    context->starting = true;
    daemon_ = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &on_request, context, MHD_OPTION_EXTERNAL_LOGGER, &library_message,
        context, MHD_OPTION_LISTEN_SOCKET, settings.listen_fd, MHD_OPTION_NOTIFY_COMPLETED, &on_completed,
        context, MHD_OPTION_NOTIFY_CONNECTION, &on_connection, context, MHD_OPTION_URI_LOG_CALLBACK,
        &on_request_line, nullptr, MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT,
        library_limit, MHD_OPTION_CONNECTION_TIMEOUT, settings.limits.request_seconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        connection_memory, MHD_OPTION_ARRAY, settings.tls ? tls_options : no_options, MHD_OPTION_END);
    context->starting = false;
    if (!daemon_) throw std::runtime_error("the HTTP library did not start (see the lines above)");
}

HttpServer::~HttpServer() {
    MHD_stop_daemon(daemon_);
}

void HttpServer::stop_accepting() {
    MHD_quiesce_daemon(daemon_);
}

void HttpServer::wait_for_answers() {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (context_->set_aside > 0 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace vornmark::server
