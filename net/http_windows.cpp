// The HTTPS transport on Windows: WinINet, one root handle, connection and request per exchange.
// The server certificate is checked against the system's trust store; nothing relaxes that.
#include <windows.h>
#include <wininet.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "net/exchange_failure.h"
#include "net/http.h"
#include "net/request_path.h"
#include "vornmark_version.h"

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

// The request's handle, closed once: when the exchange ends, or earlier from another thread (a
// stop, the time limit) to end a blocking call on it at once, as WinINet allows.
class RequestHandle {
public:
    enum class Ended { no, stopped, timed_out };

    explicit RequestHandle(HINTERNET handle) : handle_(handle) {}
    ~RequestHandle() { close(Ended::no); }
    RequestHandle(const RequestHandle&) = delete;
    RequestHandle& operator=(const RequestHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void close(Ended why) {
        std::lock_guard lock(mutex_);
        if (handle_ && !closed_) ::InternetCloseHandle(handle_);
        closed_ = true;
        if (ended_ == Ended::no) ended_ = why;
    }
    // Why the handle was closed before the exchange ended, if it was.
    Ended ended_early() {
        std::lock_guard lock(mutex_);
        return ended_;
    }

private:
    std::mutex mutex_;
    HINTERNET handle_;
    bool closed_ = false;
    Ended ended_ = Ended::no;
};

std::string exchange(const HttpEndpoint& endpoint, const std::string& path, const std::string* post_body,
                     const std::stop_token& stop) {
    InternetHandle root(::InternetOpenA(user_agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) fail_with_last_error("InternetOpen failed", endpoint);
    DWORD connect_timeout = connect_timeout_ms;
    DWORD receive_timeout = receive_timeout_ms;
    ::InternetSetOptionA(root.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect_timeout,
                         sizeof connect_timeout);
    ::InternetSetOptionA(root.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive_timeout,
                         sizeof receive_timeout);

    if (endpoint.host.empty() || endpoint.port < 1 || endpoint.port > 65535)
        fail_exchange("InternetConnect failed", ExchangeCause::BadEndpoint, endpoint);
    InternetHandle connection(::InternetConnectA(root.get(), endpoint.host.c_str(),
                                                 static_cast<INTERNET_PORT>(endpoint.port), nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) fail_with_last_error("InternetConnect failed", endpoint);

    if (!is_valid_request_path(path))
        fail_exchange("HttpOpenRequest failed", ExchangeCause::BadRequestPath, endpoint);
    RequestHandle request(::HttpOpenRequestA(connection.get(), post_body ? "POST" : "GET", path.c_str(), nullptr,
                                             nullptr, nullptr, request_flags, 0));
    if (!request) fail_with_last_error("HttpOpenRequest failed", endpoint);

    // A stop, or the time limit running out, closes the request's handle: the call waiting on it
    // fails at once, and so does the exchange.
    std::stop_callback on_stop(stop, [&request] { request.close(RequestHandle::Ended::stopped); });
    std::jthread time_limit([&request](std::stop_token finished) {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait_for(lock, finished, exchange_time_limit, [] { return false; });
        if (!finished.stop_requested()) request.close(RequestHandle::Ended::timed_out);
    });
    // Raises the step's message; after an early end, its reason rather than the call's error.
    auto fail_step = [&](const char* fixed_text) {
        switch (request.ended_early()) {
        case RequestHandle::Ended::stopped:
            fail_exchange(fixed_text, ExchangeCause::Unknown, endpoint, "stopped");
        case RequestHandle::Ended::timed_out:
            fail_exchange(fixed_text, ExchangeCause::TimedOut, endpoint);
        case RequestHandle::Ended::no:
            break;
        }
        fail_with_last_error(fixed_text, endpoint);
    };

    BOOL sent = FALSE;
    if (request.ended_early() != RequestHandle::Ended::no) fail_step("HttpSendRequest failed");
    if (post_body) {
        if (post_body->size() > 0xFFFFFFFFu)
            fail_exchange("HttpSendRequest failed", ExchangeCause::Unknown, endpoint, "request too large");
        sent =
            ::HttpSendRequestA(request.get(), json_header, sizeof json_header - 1,
                               const_cast<char*>(post_body->data()), static_cast<DWORD>(post_body->size()));
    } else {
        sent = ::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0);
    }
    if (!sent) fail_step("HttpSendRequest failed");

    if (request.ended_early() != RequestHandle::Ended::no) fail_step("HttpSendRequest failed");
    DWORD status = 0;
    DWORD status_size = sizeof status;
    ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &status_size,
                     nullptr);
    if (status != 200) fail_exchange("HTTP " + std::to_string(status), ExchangeCause::Unknown, endpoint);

    std::string body;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (request.ended_early() != RequestHandle::Ended::no) fail_step("HttpSendRequest failed");
        // A body that breaks off is a failed exchange, not a shorter body (as on Linux).
        if (!::InternetReadFile(request.get(), chunk, sizeof chunk, &got)) fail_step("HttpSendRequest failed");
        if (got == 0) break;
        // A reply larger than any the leaderboard sends is refused rather than held in memory.
        if (got > max_response_body_bytes - body.size())
            fail_exchange("HttpSendRequest failed", ExchangeCause::AnswerTooLarge, endpoint);
        body.append(chunk, got);
    }
    return body;
}

}  // namespace

std::string http_get(const HttpEndpoint& endpoint, const std::string& path, std::stop_token stop) {
    return exchange(endpoint, path, nullptr, stop);
}

std::string http_post_json(const HttpEndpoint& endpoint, const std::string& path, const std::string& body,
                           std::stop_token stop) {
    return exchange(endpoint, path, &body, stop);
}
