#include "tests/net/scripted_tls_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <strings.h>

#include "tests/support/temp_dir.h"

namespace vornmark {

namespace {

// Loopback servers are reached directly, whatever proxy the environment names.
[[maybe_unused]] const bool loopback_without_proxy = [] {
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    return true;
}();

constexpr std::size_t max_request_bytes = 1024 * 1024;

// Removed with its certificates when the process exits.
TempDir& certificate_directory() {
    static TempDir directory;
    return directory;
}

std::string shell_quoted(const std::string& text) {
    return "'" + text + "'";
}

bool ends_header_block(const std::string& bytes, std::size_t& header_end) {
    header_end = bytes.find("\r\n\r\n");
    return header_end != std::string::npos;
}

std::size_t content_length(const RecordedRequest& request) {
    const auto values = request.header_values("Content-Length");
    return values.empty() ? 0 : std::stoul(values.front());
}

// Reads one request: the header block and as many body bytes as Content-Length announces.
std::optional<std::string> read_request(SSL* ssl) {
    std::string bytes;
    char chunk[4096];
    std::size_t header_end = 0;
    while (!ends_header_block(bytes, header_end)) {
        const int count = SSL_read(ssl, chunk, sizeof chunk);
        if (count <= 0 || bytes.size() > max_request_bytes) return std::nullopt;
        bytes.append(chunk, static_cast<std::size_t>(count));
    }
    const std::size_t wanted = header_end + 4 + content_length(parse_request(bytes));
    while (bytes.size() < wanted) {
        const int count = SSL_read(ssl, chunk, sizeof chunk);
        if (count <= 0 || bytes.size() > max_request_bytes) return std::nullopt;
        bytes.append(chunk, static_cast<std::size_t>(count));
    }
    return bytes;
}

void write_all(SSL* ssl, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int count = SSL_write(ssl, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (count <= 0) return;
        sent += static_cast<std::size_t>(count);
    }
}

}  // namespace

TlsIdentity make_tls_identity(const std::string& name, const std::string& subject_alt_name) {
    const std::filesystem::path& directory = certificate_directory().path();
    TlsIdentity identity{(directory / (name + ".crt")).string(), (directory / (name + ".key")).string()};
    const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost"
                                " -addext " +
                                shell_quoted("subjectAltName=" + subject_alt_name) + " -keyout " +
                                shell_quoted(identity.key_file) + " -out " +
                                shell_quoted(identity.cert_file) + " >" +
                                shell_quoted((directory / (name + ".log")).string()) + " 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("openssl could not make a certificate: " + command);
    return identity;
}

const TlsIdentity& loopback_identity() {
    static const TlsIdentity identity = make_tls_identity("loopback");
    return identity;
}

std::string http_response(int status, std::string_view body) {
    return "HTTP/1.1 " + std::to_string(status) + " Scripted\r\n" + "Content-Type: application/json\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" + "Connection: close\r\n\r\n" +
           std::string(body);
}

std::vector<std::string> RecordedRequest::header_values(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers)
        if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0)
            values.push_back(value);
    return values;
}

RecordedRequest parse_request(const std::string& raw) {
    RecordedRequest request;
    const std::size_t header_end = raw.find("\r\n\r\n");
    const std::string head = raw.substr(0, header_end);
    if (header_end != std::string::npos) request.body = raw.substr(header_end + 4);

    std::size_t line_start = 0;
    bool first_line = true;
    while (line_start <= head.size()) {
        std::size_t line_end = head.find("\r\n", line_start);
        if (line_end == std::string::npos) line_end = head.size();
        const std::string line = head.substr(line_start, line_end - line_start);
        if (first_line) {
            const std::size_t first_space = line.find(' ');
            const std::size_t second_space = line.find(' ', first_space + 1);
            request.method = line.substr(0, first_space);
            if (first_space != std::string::npos)
                request.target = line.substr(first_space + 1, second_space - first_space - 1);
            first_line = false;
        } else if (const std::size_t colon = line.find(':'); colon != std::string::npos) {
            std::size_t value_start = colon + 1;
            while (value_start < line.size() && line[value_start] == ' ') ++value_start;
            request.headers.emplace_back(line.substr(0, colon), line.substr(value_start));
        }
        line_start = line_end + 2;
    }
    return request;
}

ScriptedTlsServer::ScriptedTlsServer(Script script, TlsIdentity identity, ReplyPace pace)
    : script(std::move(script)), pace(pace), identity(std::move(identity)) {
    // A client that hangs up early must not end the test program.
    std::signal(SIGPIPE, SIG_IGN);

    context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_use_certificate_chain_file(context, this->identity.cert_file.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, this->identity.key_file.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(context);
        throw std::runtime_error("cannot set up the scripted server's TLS context");
    }

    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0) close(listener);
        SSL_CTX_free(context);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptor = std::thread([this] { accept_loop(); });
}

ScriptedTlsServer::~ScriptedTlsServer() {
    {
        std::lock_guard guard(lock);
        stopping = true;
    }
    stopped.notify_all();
    acceptor.join();
    // No new connection threads appear once the acceptor has ended.
    for (std::thread& connection : connections) connection.join();
    close(listener);
    SSL_CTX_free(context);
}

HttpEndpoint ScriptedTlsServer::endpoint() const {
    return HttpEndpoint{"127.0.0.1", port_, identity.cert_file};
}

std::vector<std::string> ScriptedTlsServer::raw_requests() const {
    std::lock_guard guard(lock);
    return received;
}

std::vector<RecordedRequest> ScriptedTlsServer::requests() const {
    std::vector<RecordedRequest> parsed;
    for (const std::string& raw : raw_requests()) parsed.push_back(parse_request(raw));
    return parsed;
}

void ScriptedTlsServer::accept_loop() {
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, 20) <= 0) continue;
        const int socket = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        // Bounds every blocking read and write, so a silent client cannot hold up the destructor.
        timeval limit{5, 0};
        setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        std::lock_guard guard(lock);
        connections.emplace_back([this, socket] { serve(socket); });
    }
}

void ScriptedTlsServer::serve(int socket) {
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context), SSL_free);
    if (ssl && SSL_set_fd(ssl.get(), socket) == 1 && SSL_accept(ssl.get()) == 1) {
        if (const std::optional<std::string> request = read_request(ssl.get())) {
            {
                std::lock_guard guard(lock);
                received.push_back(*request);
            }
            if (const std::optional<std::string> reply = script(parse_request(*request))) {
                send_paced(ssl.get(), *reply);
                SSL_shutdown(ssl.get());
            } else {
                std::unique_lock guard(lock);
                stopped.wait(guard, [this] { return stopping.load(); });
            }
        }
    }
    ssl.reset();
    close(socket);
}

void ScriptedTlsServer::send_paced(SSL* ssl, const std::string& reply) {
    if (pace.bytes == 0) {
        write_all(ssl, reply);
        return;
    }
    for (std::size_t sent = 0; sent < reply.size(); sent += pace.bytes) {
        const std::string piece = reply.substr(sent, pace.bytes);
        if (SSL_write(ssl, piece.data(), static_cast<int>(piece.size())) <= 0) {
            ++cut_short;
            return;
        }
        ++pieces;
        std::unique_lock guard(lock);
        if (stopped.wait_for(guard, pace.pause, [this] { return stopping.load(); })) return;
    }
}

ScriptedTlsServer::Script reply_always(std::string response) {
    return [response = std::move(response)](const RecordedRequest&) {
        return std::optional<std::string>(response);
    };
}

ScriptedTlsServer::Script reply_in_order(std::vector<std::string> responses) {
    auto next = std::make_shared<std::atomic<std::size_t>>(0);
    return [responses = std::move(responses), next](const RecordedRequest&) {
        const std::size_t index = next->fetch_add(1);
        return std::optional<std::string>(responses.at(std::min(index, responses.size() - 1)));
    };
}

ScriptedTlsServer::Script
reply_by_route(std::vector<std::pair<std::string, std::string>> method_target_to_response) {
    return [routes = std::move(method_target_to_response)](const RecordedRequest& request) {
        const std::string route = request.method + " " + request.target;
        for (const auto& [key, response] : routes)
            if (key == route) return std::optional<std::string>(response);
        return std::optional<std::string>(http_response(404, "{}"));
    };
}

}  // namespace vornmark
