#include "net/exchange_failure.h"

#include <stdexcept>

namespace vornmark {

std::string_view cause_text(ExchangeCause cause) {
    switch (cause) {
    case ExchangeCause::Unknown:
        break;
    case ExchangeCause::BadEndpoint:
        return "not a valid host name and port";
    case ExchangeCause::BadRequestPath:
        return "not a valid request path";
    case ExchangeCause::HostNotFound:
        return "host not found";
    case ExchangeCause::Refused:
        return "connection refused";
    case ExchangeCause::Unreachable:
        return "host unreachable";
    case ExchangeCause::TimedOut:
        return "timed out";
    case ExchangeCause::CertificateNotTrusted:
        return "certificate not trusted";
    case ExchangeCause::CertificateExpired:
        return "certificate expired or not yet valid";
    case ExchangeCause::HostNameMismatch:
        return "host name mismatch";
    case ExchangeCause::SecureChannelFailed:
        return "secure connection failed";
    case ExchangeCause::ConnectionBroken:
        return "connection broken off";
    case ExchangeCause::AnswerTooLarge:
        return "answer too large";
    }
    return {};
}

std::string endpoint_text(const HttpEndpoint& endpoint) {
    const bool ipv6 = endpoint.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + endpoint.host + "]" : endpoint.host) + ":" + std::to_string(endpoint.port);
}

std::string exchange_failure_text(std::string_view fixed_text, std::string_view cause,
                                  const HttpEndpoint& endpoint) {
    std::string text(fixed_text);
    if (!cause.empty()) {
        text += ": ";
        text += cause;
    }
    return text + " (" + endpoint_text(endpoint) + ")";
}

void fail_exchange(std::string_view fixed_text, ExchangeCause cause, const HttpEndpoint& endpoint,
                   std::string_view detail) {
    const std::string_view known = cause_text(cause);
    throw std::runtime_error(exchange_failure_text(fixed_text, known.empty() ? detail : known, endpoint));
}

}  // namespace vornmark
