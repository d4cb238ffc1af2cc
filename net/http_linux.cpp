// The HTTPS transport on Linux: libcurl, one easy handle per exchange.
#include <curl/curl.h>

#include <cerrno>

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "net/exchange_failure.h"
#include "net/http.h"
#include "net/request_path.h"
#include "vornmark_version.h"

namespace vornmark {

namespace {

constexpr const char* user_agent = "Vornmark/" VORNMARK_VERSION;
constexpr long connect_timeout_ms = 10000;
// "No byte for 10 s ends the exchange": fewer than 1 byte a second over 10 seconds.
constexpr long receive_stall_bytes_per_second = 1;
constexpr long receive_stall_seconds = 10;

// The chain check's verdicts on a certificate's dates (OpenSSL's X509_V_* values as libcurl reports them).
constexpr long certificate_not_yet_valid = 9;
constexpr long certificate_expired = 10;

// Why curl_easy_perform failed, in the causes both transports share. `message` is libcurl's own
// account of the failure.
ExchangeCause cause_of(CURLcode result, CURL* curl, std::string_view message) {
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return ExchangeCause::HostNotFound;
    case CURLE_COULDNT_CONNECT: {
        long os_error = 0;
        curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &os_error);
        return os_error == ECONNREFUSED ? ExchangeCause::Refused : ExchangeCause::Unreachable;
    }
    case CURLE_OPERATION_TIMEDOUT:
        return ExchangeCause::TimedOut;
    case CURLE_PEER_FAILED_VERIFICATION: {
        // libcurl checks the name itself, after the chain, and says so in its message.
        if (message.find("host name") != std::string_view::npos) return ExchangeCause::HostNameMismatch;
        long verdict = 0;
        curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &verdict);
        if (verdict == certificate_expired || verdict == certificate_not_yet_valid)
            return ExchangeCause::CertificateExpired;
        return ExchangeCause::CertificateNotTrusted;
    }
    case CURLE_SSL_CONNECT_ERROR:
        return ExchangeCause::SecureChannelFailed;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return ExchangeCause::ConnectionBroken;
    default:
        return ExchangeCause::Unknown;
    }
}

void initialize_curl_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiHandleDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyHandleDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiHandleDeleter>;
using Url = std::unique_ptr<CURLU, UrlDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

// State shared with curl's callbacks during one exchange.
struct Exchange {
    CURL* handle = nullptr;
    std::string body;
    bool body_too_large = false;
};

long response_status(CURL* handle) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

// The body of any final status other than 200 is never read: the exchange stops as soon as the
// header block of such a response has ended.
size_t on_header_line(char* data, size_t size, size_t count, void* user) {
    auto& exchange = *static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    const bool end_of_header_block = bytes == 2 && data[0] == '\r' && data[1] == '\n';
    if (end_of_header_block) {
        const long status = response_status(exchange.handle);
        const bool interim = status >= 100 && status < 200;
        if (!interim && status != 200) return CURL_WRITEFUNC_ERROR;
    }
    return bytes;
}

size_t on_body_bytes(char* data, size_t size, size_t count, void* user) {
    auto& exchange = *static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    if (response_status(exchange.handle) != 200) return CURL_WRITEFUNC_ERROR;
    if (bytes > max_response_body_bytes - exchange.body.size()) {
        exchange.body_too_large = true;
        return CURL_WRITEFUNC_ERROR;
    }
    exchange.body.append(data, bytes);
    return bytes;
}

// https://HOST:PORT; a host or port that cannot form a URL fails like a connection that cannot
// be set up.
Url server_url(const HttpEndpoint& endpoint) {
    Url url(curl_url());
    if (!url || endpoint.host.empty() || endpoint.port < 1 || endpoint.port > 65535)
        fail_exchange("InternetConnect failed", ExchangeCause::BadEndpoint, endpoint);
    const std::string port = std::to_string(endpoint.port);
    if (curl_url_set(url.get(), CURLUPART_SCHEME, "https", 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_HOST, endpoint.host.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0) != CURLUE_OK)
        fail_exchange("InternetConnect failed", ExchangeCause::BadEndpoint, endpoint);
    return url;
}

// The path is sent as given (the query included), without any encoding.
void set_request_path(CURLU* url, const std::string& path, const HttpEndpoint& endpoint) {
    if (!is_valid_request_path(path))
        fail_exchange("HttpOpenRequest failed", ExchangeCause::BadRequestPath, endpoint);
    const std::size_t query_start = path.find('?');
    const std::string path_part = path.substr(0, query_start);
    CURLUcode result = curl_url_set(url, CURLUPART_PATH, path_part.c_str(), 0);
    if (result == CURLUE_OK && query_start != std::string::npos)
        result = curl_url_set(url, CURLUPART_QUERY, path.c_str() + query_start + 1, 0);
    if (result != CURLUE_OK) fail_exchange("HttpOpenRequest failed", ExchangeCause::BadRequestPath, endpoint);
}

HeaderList request_headers(bool with_json_body, const HttpEndpoint& endpoint) {
    // curl would add "Accept: */*" (and "Expect: 100-continue" to larger POSTs) on its own;
    // the empty forms remove them, so a POST carries the content type and nothing else extra.
    curl_slist* list = nullptr;
    auto add = [&list, &endpoint](const char* header) {
        curl_slist* grown = curl_slist_append(list, header);
        if (!grown) {
            curl_slist_free_all(list);
            fail_exchange("HttpOpenRequest failed", ExchangeCause::Unknown, endpoint, "out of memory");
        }
        list = grown;
    };
    if (with_json_body) add("Content-Type: application/json");
    add("Accept:");
    if (with_json_body) add("Expect:");
    return HeaderList(list);
}

// Runs the transfer, ending it at once when a stop is requested (the stop wakes the wait).
// Returns curl's result; CURLE_ABORTED_BY_CALLBACK when stopped.
CURLcode perform(CURL* curl, const std::stop_token& stop) {
    MultiHandle multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    {
        std::stop_callback wake(stop, [&multi] { curl_multi_wakeup(multi.get()); });
        for (int running = 1; running > 0 && !stop.stop_requested();) {
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
            if (running > 0 && curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE && !stop.stop_requested()) result = message->data.result;
        }
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

std::string exchange(const HttpEndpoint& endpoint, const std::string& path, const std::string* post_body,
                     const std::stop_token& stop) {
    initialize_curl_once();
    EasyHandle handle(curl_easy_init());
    if (!handle)
        fail_exchange("InternetOpen failed", ExchangeCause::Unknown, endpoint,
                      "the HTTP library did not start");
    CURL* curl = handle.get();

    Url url = server_url(endpoint);
    set_request_path(url.get(), path, endpoint);
    HeaderList headers = request_headers(post_body != nullptr, endpoint);

    Exchange state;
    state.handle = curl;
    char error_message[CURL_ERROR_SIZE] = {};

    bool options_set = true;
    auto set = [&options_set](CURLcode result) { options_set = options_set && result == CURLE_OK; };
    set(curl_easy_setopt(curl, CURLOPT_CURLU, url.get()));
    set(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https"));
    set(curl_easy_setopt(curl, CURLOPT_USERAGENT, user_agent));
    set(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connect_timeout_ms));
    set(curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(std::chrono::milliseconds(exchange_time_limit).count())));
    set(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, receive_stall_bytes_per_second));
    set(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, receive_stall_seconds));
    set(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L));
    set(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L));
    if (!endpoint.ca_file.empty()) {
        // Only the named CA is trusted, not the system store besides it.
        set(curl_easy_setopt(curl, CURLOPT_CAINFO, endpoint.ca_file.c_str()));
        set(curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr));
    }
    set(curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L));
    set(curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_message));
    set(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()));
    set(curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header_line));
    set(curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state));
    set(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body_bytes));
    set(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state));
    if (post_body) {
        set(curl_easy_setopt(curl, CURLOPT_POST, 1L));
        set(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post_body->size())));
        set(curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post_body->data()));
    }
    if (!options_set)
        fail_exchange("HttpOpenRequest failed", ExchangeCause::Unknown, endpoint,
                      "the HTTP library refused a setting");

    const CURLcode result = perform(curl, stop);
    if (stop.stop_requested())
        fail_exchange("HttpSendRequest failed", ExchangeCause::Unknown, endpoint, "stopped");
    const long status = response_status(curl);

    if (state.body_too_large)
        fail_exchange("HttpSendRequest failed", ExchangeCause::AnswerTooLarge, endpoint);
    const std::string status_text = "HTTP " + std::to_string(status);
    // Once a status other than 200 has arrived, it decides the outcome, whatever became of the body.
    if (status != 0 && status != 200) fail_exchange(status_text, ExchangeCause::Unknown, endpoint);
    // A 200 whose body broke off is a failed exchange, not a shorter body.
    if (result != CURLE_OK)
        fail_exchange("HttpSendRequest failed", cause_of(result, curl, error_message), endpoint,
                      curl_easy_strerror(result));
    if (status != 200) fail_exchange(status_text, ExchangeCause::Unknown, endpoint);
    return std::move(state.body);
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
