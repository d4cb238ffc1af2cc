#pragma once

#include <string>
#include <string_view>

#include "net/http.h"

namespace vornmark {

// Why an exchange failed, as far as the transport can tell.
enum class ExchangeCause {
    Unknown,  // the detail given says what the platform reported
    BadEndpoint,
    BadRequestPath,
    HostNotFound,
    Refused,
    Unreachable,
    TimedOut,
    CertificateNotTrusted,
    CertificateExpired,
    HostNameMismatch,
    SecureChannelFailed,
    ConnectionBroken,
    AnswerTooLarge,
};

// The cause in a few words, e.g. "connection refused", "certificate not trusted".
std::string_view cause_text(ExchangeCause cause);

// "host:port", an IPv6 address in brackets.
std::string endpoint_text(const HttpEndpoint& endpoint);

// The message a failed exchange raises: the transport's fixed text first ("HttpSendRequest failed",
// "HTTP 404"), then the cause when one is known, then where the exchange went:
// "HttpSendRequest failed: connection refused (127.0.0.1:8443)", "HTTP 404 (127.0.0.1:8443)".
std::string exchange_failure_text(std::string_view fixed_text, std::string_view cause,
                                  const HttpEndpoint& endpoint);

// Raises std::runtime_error with exchange_failure_text; `detail` stands in for an unknown cause.
[[noreturn]] void fail_exchange(std::string_view fixed_text, ExchangeCause cause,
                                const HttpEndpoint& endpoint, std::string_view detail = {});

}  // namespace vornmark
