#pragma once

// A TLS server on 127.0.0.1 that answers each connection from a script, for the replies the real
// leaderboard server never gives (odd statuses, broken bodies, silence). It records every request
// so tests can check the bytes the client sent.

#include "net/http.h"

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace vornmark {

// A self-signed certificate with its key; the certificate is its own CA.
struct TlsIdentity {
    std::string cert_file;
    std::string key_file;
};

// Makes a throw-away identity with the openssl command in a temporary directory of the process.
TlsIdentity make_tls_identity(const std::string& name,
                              const std::string& subject_alt_name = "DNS:localhost,IP:127.0.0.1");

// One identity for localhost and 127.0.0.1, made once per test program.
const TlsIdentity& loopback_identity();

// A complete HTTP/1.1 response with Content-Length and "Connection: close".
std::string http_response(int status, std::string_view body);

struct RecordedRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;  // in the order sent
    std::string body;

    // Values of every header with this name (compared without regard to case).
    std::vector<std::string> header_values(std::string_view name) const;
};

RecordedRequest parse_request(const std::string& raw);

// How the scripted server sends a reply: all at once, or `bytes` at a time with a pause after each.
struct ReplyPace {
    std::size_t bytes = 0;
    std::chrono::milliseconds pause{0};
};

class ScriptedTlsServer {
public:
    // Gives the raw bytes to send back for one request, or nothing to keep the connection open
    // without ever answering. Called on the connection's own thread.
    using Script = std::function<std::optional<std::string>(const RecordedRequest& request)>;

    explicit ScriptedTlsServer(Script script, TlsIdentity identity = loopback_identity(),
                               ReplyPace pace = {});
    ~ScriptedTlsServer();

    ScriptedTlsServer(const ScriptedTlsServer&) = delete;
    ScriptedTlsServer& operator=(const ScriptedTlsServer&) = delete;

    int port() const { return port_; }
    // 127.0.0.1 and this server's port, trusting its certificate.
    HttpEndpoint endpoint() const;

    std::vector<std::string> raw_requests() const;
    std::vector<RecordedRequest> requests() const;
    // Replies the client hung up on before they were all sent, and the paced pieces sent in all.
    int replies_cut_short() const { return cut_short.load(); }
    int pieces_sent() const { return pieces.load(); }

private:
    void accept_loop();
    void serve(int socket);
    void send_paced(SSL* ssl, const std::string& reply);

    Script script;
    ReplyPace pace;
    std::atomic<int> cut_short{0};
    std::atomic<int> pieces{0};
    SSL_CTX* context = nullptr;
    TlsIdentity identity;
    int listener = -1;
    int port_ = 0;

    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    std::condition_variable stopped;
    std::vector<std::string> received;
    std::vector<std::thread> connections;
    std::thread acceptor;
};

// The same reply to every request.
ScriptedTlsServer::Script reply_always(std::string response);

// The replies in order, one per request; the last one repeats.
ScriptedTlsServer::Script reply_in_order(std::vector<std::string> responses);

// The reply chosen by the request's method and target.
ScriptedTlsServer::Script
reply_by_route(std::vector<std::pair<std::string, std::string>> method_target_to_response);

}  // namespace vornmark
