#include "net/leaderboard_url.h"

namespace vornmark {

namespace {

constexpr std::string_view scheme = "https://";
constexpr int default_port = 443;

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool is_letter_or_digit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Letters, digits, '-' and '.', in labels of 1 to 63 characters that neither start nor end with
// '-'. Also covers IPv4 addresses written as four numbers.
std::string host_name_problem(std::string_view host) {
    if (host.empty()) return "it names no server (expected https://HOST or https://HOST:PORT)";
    if (host.size() > 253) return "the host name is longer than 253 characters";
    std::size_t label_start = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != '.') {
            const char c = host[i];
            if (static_cast<unsigned char>(c) >= 0x80)
                return "the host name is not ASCII; write it in its ASCII (xn--) form";
            if (!is_letter_or_digit(c) && c != '-')
                return std::string("the host name may not contain '") + c + "'";
            continue;
        }
        const std::string_view label = host.substr(label_start, i - label_start);
        // One trailing dot (a fully qualified name) is allowed.
        if (label.empty() && !(i == host.size() && i > 0)) return "the host name has an empty part";
        if (label.size() > 63) return "a part of the host name is longer than 63 characters";
        if (!label.empty() && (label.front() == '-' || label.back() == '-'))
            return "a part of the host name starts or ends with '-'";
        label_start = i + 1;
    }
    return {};
}

std::string ipv6_problem(std::string_view address) {
    if (address.empty()) return "the brackets hold no IPv6 address";
    for (const char c : address) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.') return "the brackets hold no IPv6 address";
    }
    return {};
}

std::string lower_case(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lowered;
}

ParsedLeaderboardUrl refused(std::string problem) {
    ParsedLeaderboardUrl parsed;
    parsed.problem = std::move(problem);
    return parsed;
}

}  // namespace

ParsedLeaderboardUrl parse_leaderboard_url(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return refused("it contains a space or a control character");
    }
    if (starts_with_ignoring_case(text, "http://"))
        return refused("plain http is not accepted: the leaderboard is reached over https:// only");
    if (!starts_with_ignoring_case(text, scheme))
        return refused("it must start with https://, as in https://bench.example.org:8443");

    std::string_view rest = text.substr(scheme.size());
    const std::size_t authority_end = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authority_end);
    if (authority_end != std::string_view::npos && rest.substr(authority_end) != "/")
        return refused("it may name only the server (https://HOST or https://HOST:PORT), no path or query");
    if (authority.find('@') != std::string_view::npos)
        return refused("it may not hold a user name or password");

    std::string_view host = authority;
    std::string_view port_text;
    bool has_port = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return refused("the IPv6 address lacks its closing ']'");
        if (const std::string problem = ipv6_problem(authority.substr(1, close - 1)); !problem.empty())
            return refused(problem);
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return refused("unexpected text after the IPv6 address");
            has_port = true;
            port_text = after.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        if (colon != std::string_view::npos) {
            has_port = true;
            host = authority.substr(0, colon);
            port_text = authority.substr(colon + 1);
        }
        if (const std::string problem = host_name_problem(host); !problem.empty()) return refused(problem);
    }

    int port = default_port;
    if (has_port) {
        if (port_text.empty() || port_text.size() > 5 ||
            port_text.find_first_not_of("0123456789") != std::string_view::npos)
            return refused("the port must be a number from 1 to 65535");
        port = std::stoi(std::string(port_text));
        if (port < 1 || port > 65535) return refused("the port must be a number from 1 to 65535");
    }

    ParsedLeaderboardUrl parsed;
    parsed.endpoint.host = lower_case(host);
    parsed.endpoint.port = port;
    return parsed;
}

std::string leaderboard_url_of(const HttpEndpoint& endpoint) {
    std::string url = std::string(scheme) + endpoint.host;
    if (endpoint.port != default_port) {
        url += ':';
        url += std::to_string(endpoint.port);
    }
    return url;
}

}  // namespace vornmark
