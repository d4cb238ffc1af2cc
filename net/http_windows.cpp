// The HTTPS transport on Windows: WinINet, one root handle, connection and request per exchange.
// The server certificate is checked against the system's trust store; nothing relaxes that.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "net/exchange_failure.h"
#include "net/http.h"
#include "net/request_path.h"
#include "vornmark_version.h"

namespace vornmark {

namespace {

constexpr const char* user_agent = "Vornmark/" VORNMARK_VERSION;
constexpr DWORD connect_timeout_ms = 10000;
constexpr DWORD receive_timeout_ms = 10000;
// Reload, never write to the cache, TLS.
constexpr DWORD request_flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE;
static_assert(request_flags == 0x84800000);
constexpr char json_header[] = "Content-Type: application/json\r\n";
static_assert(sizeof json_header - 1 == 32);

// Why a WinINet call failed, from the error it left, in the causes both transports share.
ExchangeCause cause_of(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return ExchangeCause::HostNotFound;
    case ERROR_INTERNET_CANNOT_CONNECT:
        return ExchangeCause::Refused;
    case ERROR_INTERNET_TIMEOUT:
        return ExchangeCause::TimedOut;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:  // what Wine reports for an unknown root
        return ExchangeCause::CertificateNotTrusted;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return ExchangeCause::HostNameMismatch;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return ExchangeCause::CertificateExpired;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return ExchangeCause::SecureChannelFailed;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
        return ExchangeCause::ConnectionBroken;
    default:
        return ExchangeCause::Unknown;
    }
}

// Raises the step's fixed message with the cause of the error the failed call left behind.
[[noreturn]] void fail_with_last_error(const char* fixed_text, const HttpEndpoint& endpoint) {
    const DWORD error = ::GetLastError();
    fail_exchange(fixed_text, cause_of(error), endpoint, "Windows error " + std::to_string(error));
}

// Closes the handle when the exchange ends, on every path.
class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_) ::InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

// One exchange, shared by the thread that runs it and the caller that waits for it. The caller
// may give up on a stop or at the time limit: it closes the request's handle, which ends a
// blocking WinINet call at once where WinINet honours that (Windows does; Wine does not during
// the TLS handshake), and returns without waiting. The exchange's thread then ends on its own,
// touching nothing but this.
class SharedExchange {
public:
    enum class Abandoned { no, stopped, timed_out };

    // The request's handle, to be closed on abandoning; false (and the handle closed) if the
    // caller gave up already.
    bool adopt_request(HINTERNET handle) {
        std::lock_guard lock(mutex_);
        request_ = handle;
        if (abandoned_ == Abandoned::no) return true;
        close_request_locked();
        return false;
    }
    // Closes the request's handle, unless the caller did already.
    void close_request() {
        std::lock_guard lock(mutex_);
        close_request_locked();
    }
    Abandoned abandoned() {
        std::lock_guard lock(mutex_);
        return abandoned_;
    }
    void finish(std::string body, std::exception_ptr failure) {
        {
            std::lock_guard lock(mutex_);
            body_ = std::move(body);
            failure_ = std::move(failure);
            finished_ = true;
        }
        finished_changed_.notify_all();
    }

    // Waits for the exchange to finish, a stop or the time limit; the body, or raises the
    // exchange's failure or why it was given up.
    std::string wait(const std::stop_token& stop, const HttpEndpoint& endpoint) {
        std::unique_lock lock(mutex_);
        const bool finished = finished_changed_.wait_until(
            lock, stop, std::chrono::steady_clock::now() + exchange_time_limit, [this] { return finished_; });
        if (finished) {
            if (failure_) std::rethrow_exception(failure_);
            return std::move(body_);
        }
        abandoned_ = stop.stop_requested() ? Abandoned::stopped : Abandoned::timed_out;
        close_request_locked();
        lock.unlock();
        if (abandoned_ == Abandoned::stopped)
            fail_exchange("HttpSendRequest failed", ExchangeCause::Unknown, endpoint, "stopped");
        fail_exchange("HttpSendRequest failed", ExchangeCause::TimedOut, endpoint);
    }

private:
    void close_request_locked() {
        if (request_ != nullptr) ::InternetCloseHandle(request_);
        request_ = nullptr;
    }

    std::mutex mutex_;
    std::condition_variable_any finished_changed_;
    HINTERNET request_ = nullptr;
    Abandoned abandoned_ = Abandoned::no;
    bool finished_ = false;
    std::string body_;
    std::exception_ptr failure_;
};

// The WinINet calls of one exchange, on the exchange's own thread; the request's handle belongs
// to `shared`.
std::string run_exchange(SharedExchange& shared, const HttpEndpoint& endpoint, const std::string& path,
                         const std::string* post_body) {
    InternetHandle root(::InternetOpenA(user_agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) fail_with_last_error("InternetOpen failed", endpoint);
    DWORD connect_timeout = connect_timeout_ms;
    DWORD receive_timeout = receive_timeout_ms;
    ::InternetSetOptionA(root.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect_timeout,
                         sizeof connect_timeout);
    ::InternetSetOptionA(root.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive_timeout,
                         sizeof receive_timeout);

    InternetHandle connection(::InternetConnectA(root.get(), endpoint.host.c_str(),
                                                 static_cast<INTERNET_PORT>(endpoint.port), nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) fail_with_last_error("InternetConnect failed", endpoint);

    const HINTERNET request = ::HttpOpenRequestA(connection.get(), post_body ? "POST" : "GET", path.c_str(),
                                                 nullptr, nullptr, nullptr, request_flags, 0);
    if (!request) fail_with_last_error("HttpOpenRequest failed", endpoint);
    // Once the caller has given up, nobody reads what the calls below say. The request's handle
    // is closed before its connection's.
    if (!shared.adopt_request(request)) return {};
    struct CloseRequest {
        SharedExchange& shared;
        ~CloseRequest() { shared.close_request(); }
    } const close_at_end{shared};

    BOOL sent = FALSE;
    if (post_body) {
        if (post_body->size() > 0xFFFFFFFFu)
            fail_exchange("HttpSendRequest failed", ExchangeCause::Unknown, endpoint, "request too large");
        sent =
            ::HttpSendRequestA(request, json_header, sizeof json_header - 1,
                               const_cast<char*>(post_body->data()), static_cast<DWORD>(post_body->size()));
    } else {
        sent = ::HttpSendRequestA(request, nullptr, 0, nullptr, 0);
    }
    if (shared.abandoned() != SharedExchange::Abandoned::no) return {};
    if (!sent) fail_with_last_error("HttpSendRequest failed", endpoint);

    DWORD status = 0;
    DWORD status_size = sizeof status;
    ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &status_size,
                     nullptr);
    if (status != 200) fail_exchange("HTTP " + std::to_string(status), ExchangeCause::Unknown, endpoint);

    std::string body;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        const BOOL read = ::InternetReadFile(request, chunk, sizeof chunk, &got);
        if (shared.abandoned() != SharedExchange::Abandoned::no) return {};
        // A body that breaks off is a failed exchange, not a shorter body (as on Linux).
        if (!read) fail_with_last_error("HttpSendRequest failed", endpoint);
        if (got == 0) break;
        // A reply larger than any the leaderboard sends is refused rather than held in memory.
        if (got > max_response_body_bytes - body.size())
            fail_exchange("HttpSendRequest failed", ExchangeCause::AnswerTooLarge, endpoint);
        body.append(chunk, got);
    }
    return body;
}

// Refuses an endpoint or a path that no request could use, in the words of the WinINet step that
// would have failed on it.
void check_request(const HttpEndpoint& endpoint, const std::string& path) {
    if (endpoint.host.empty() || endpoint.port < 1 || endpoint.port > 65535)
        fail_exchange("InternetConnect failed", ExchangeCause::BadEndpoint, endpoint);
    if (!is_valid_request_path(path))
        fail_exchange("HttpOpenRequest failed", ExchangeCause::BadRequestPath, endpoint);
}

// Runs the exchange on a thread of its own, which owns copies of everything it uses, and waits
// for it at most exchange_time_limit or until a stop. A bad request fails at once, before any
// thread or WinINet call, whatever an earlier exchange that was given up is still doing there.
std::string exchange(const HttpEndpoint& endpoint, const std::string& path, const std::string* post_body,
                     const std::stop_token& stop) {
    check_request(endpoint, path);
    auto shared = std::make_shared<SharedExchange>();
    std::optional<std::string> body_copy;
    if (post_body) body_copy = *post_body;
    // Detached: under Wine a thread inside WinINet's TLS handshake outlives its closed handle, and
    // nothing ends it from outside; joining it would hold a stop for as long as the server likes.
    std::thread([shared, endpoint, path, body = std::move(body_copy)] {
        std::string reply;
        std::exception_ptr failure;
        try {
            reply = run_exchange(*shared, endpoint, path, body ? &*body : nullptr);
        } catch (...) {
            failure = std::current_exception();
        }
        shared->finish(std::move(reply), std::move(failure));
    }).detach();
    return shared->wait(stop, endpoint);
}

}  // namespace

std::string http_get(const HttpEndpoint& endpoint, const std::string& path, std::stop_token stop) {
    return exchange(endpoint, path, nullptr, stop);
}

std::string http_post_json(const HttpEndpoint& endpoint, const std::string& path, const std::string& body,
                           std::stop_token stop) {
    return exchange(endpoint, path, &body, stop);
}

}  // namespace vornmark
