#include "server/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>

#include <microhttpd.h>

#include "server/api.h"
#include "server/log.h"

namespace {

// Memory of one connection: read buffer, parsed headers and the reply's header block.
// Headers that do not fit get 431 from the library; the rest is checked below.
constexpr std::size_t connection_memory = max_header_bytes + 16 * 1024;
// A body past the limit is read and thrown away up to this much, so that the client
// gets its 413; beyond it the connection is closed.
constexpr std::size_t discard_limit = 1024 * 1024;

// The library's own messages are logged while it starts (a certificate it cannot use,
// say); afterwards they would only echo what clients send.
std::atomic<bool> starting{false};

// Set once before the library starts; read by its threads.
bool trust_forwarded_for = false;

void library_message(void*, const char* format, va_list arguments) {
    if (!starting) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    log_line("http: " + line);
}

struct RequestState {
    std::string body;
    std::size_t received = 0;
};

struct HeaderFacts {
    std::size_t bytes = 0;
    int content_lengths = 0;
    bool content_length_malformed = false;
    bool transfer_encoding = false;
    std::string first_content_length;
};

MHD_Result collect_header(void* facts_pointer, MHD_ValueKind, const char* key, const char* value) {
    auto& facts = *static_cast<HeaderFacts*>(facts_pointer);
    std::string_view v = value ? value : "";
    facts.bytes += std::char_traits<char>::length(key) + v.size() + 4;  // "key: value\r\n"
    if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0) {
        ++facts.content_lengths;
        if (facts.content_lengths == 1) facts.first_content_length = v;
        if (v.empty() || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            facts.content_length_malformed = true;
        }
    } else if (strcasecmp(key, MHD_HTTP_HEADER_TRANSFER_ENCODING) == 0) {
        facts.transfer_encoding = true;
    }
    return MHD_YES;
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
std::string client_address(MHD_Connection* connection) {
    if (trust_forwarded_for) {
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

MHD_Result send_reply(MHD_Connection* connection, const char* method, const char* url, const ApiReply& reply,
                      bool close_after = false) {
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
    if (!reply.allow.empty()) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, reply.allow.c_str());
    if (!reply.retry_after.empty()) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, reply.retry_after.c_str());
    }
    if (close_after) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);

    const char* type = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "type");
    std::string target = url;
    if (type) target += std::string("?type=") + type;
    log_line(printable_for_log(client_address(connection), 64) + " " + printable_for_log(method, 16) + " " +
             printable_for_log(target) + " " + std::to_string(reply.status) + " " +
             std::to_string(reply.body.size()));
    return queued;
}

// The first call for a request, with the headers complete: refuses what must not be
// read on. Returns true when it has answered.
bool refused_before_body(MHD_Connection* connection, const char* method, const char* url,
                         MHD_Result& result) {
    HeaderFacts facts;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collect_header, &facts);
    facts.bytes += std::char_traits<char>::length(method) + std::char_traits<char>::length(url) + 12;

    auto refuse = [&](int status, const std::string& message) {
        result = send_reply(connection, method, url, error_reply(status, message), /*close_after=*/true);
        return true;
    };
    if (facts.bytes > max_header_bytes) return refuse(431, reason_for(431));
    // Two lengths, a length that is not a number, or a length beside chunked coding:
    // a proxy in front may read the body differently, so nothing of it is trusted.
    if (facts.content_lengths > 1) return refuse(400, "conflicting Content-Length headers");
    if (facts.content_length_malformed) return refuse(400, "Content-Length must be a decimal number");
    if (facts.content_lengths == 1 && facts.transfer_encoding) {
        return refuse(400, "Content-Length and Transfer-Encoding together");
    }
    if (facts.content_lengths == 1 && (facts.first_content_length.size() > 18 ||
                                       std::stoull(facts.first_content_length) > max_body_bytes)) {
        return refuse(413, reason_for(413));
    }
    return false;
}

MHD_Result on_request(void* api_pointer, MHD_Connection* connection, const char* url, const char* method,
                      const char*, const char* upload_data, size_t* upload_data_size, void** request_state) {
    auto* state = static_cast<RequestState*>(*request_state);
    if (state == nullptr) {
        MHD_Result result = MHD_NO;
        if (refused_before_body(connection, method, url, result)) return result;
        *request_state = new RequestState;
        return MHD_YES;
    }
    if (*upload_data_size > 0) {
        state->received += *upload_data_size;
        if (state->received > discard_limit) return MHD_NO;
        if (state->body.size() <= max_body_bytes) {
            state->body.append(upload_data,
                               std::min(*upload_data_size, max_body_bytes + 1 - state->body.size()));
        }
        *upload_data_size = 0;
        return MHD_YES;
    }

    ApiRequest request;
    request.method = method;
    request.path = url;
    if (const char* type = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "type")) {
        request.type = type;
    }
    request.body = state->body;
    request.remote_address = client_address(connection);
    ApiReply reply = state->received > max_body_bytes ? error_reply(413, reason_for(413))
                                                      : static_cast<Api*>(api_pointer)->handle(request);
    return send_reply(connection, method, url, reply);
}

void on_completed(void*, MHD_Connection*, void** request_state, MHD_RequestTerminationCode) {
    delete static_cast<RequestState*>(*request_state);
    *request_state = nullptr;
}

}  // namespace

HttpServer::HttpServer(const HttpSettings& settings, Api& api) {
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG | MHD_USE_ITC;
    if (settings.tls) flags |= MHD_USE_TLS;
    if (settings.ipv6) flags |= MHD_USE_IPv6;

    MHD_OptionItem tls_options[] = {
        {MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(settings.cert_pem.c_str())},
        {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(settings.key_pem.c_str())},
        {MHD_OPTION_END, 0, nullptr},
    };
    MHD_OptionItem no_options[] = {{MHD_OPTION_END, 0, nullptr}};

    trust_forwarded_for = settings.trust_forwarded_for;
    starting = true;
    daemon_ = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &on_request, &api, MHD_OPTION_EXTERNAL_LOGGER, &library_message, nullptr,
        MHD_OPTION_LISTEN_SOCKET, settings.listen_fd, MHD_OPTION_NOTIFY_COMPLETED, &on_completed, nullptr,
        MHD_OPTION_THREAD_POOL_SIZE, std::max(1u, settings.limits.threads), MHD_OPTION_CONNECTION_LIMIT,
        settings.limits.connections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        settings.limits.connections_per_address, MHD_OPTION_CONNECTION_TIMEOUT,
        settings.limits.idle_timeout_seconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, connection_memory,
        MHD_OPTION_ARRAY, settings.tls ? tls_options : no_options, MHD_OPTION_END);
    starting = false;
    if (!daemon_) throw std::runtime_error("the HTTP library did not start (see the lines above)");
}

HttpServer::~HttpServer() {
    MHD_stop_daemon(daemon_);
}
