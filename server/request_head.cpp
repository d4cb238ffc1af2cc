#include "server/request_head.h"

#include <algorithm>
#include <cstring>

namespace vornmark::server {

namespace {

// RFC 9110's token characters.
bool is_token(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
               (byte > 0x20 && byte < 0x7F && std::strchr("!#$%&'*+-.^_`|~", byte) != nullptr);
    });
}

// Visible characters, spaces, tabs and bytes above ASCII; no other control character.
bool is_field_value(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Whether a Transfer-Encoding list, over all its header lines, is exactly "chunked".
bool only_chunked(const std::vector<std::string_view>& lines) {
    std::size_t codings = 0;
    bool chunked = true;
    for (std::string_view line : lines) {
        for (std::size_t start = 0; start <= line.size();) {
            std::size_t comma = line.find(',', start);
            if (comma == std::string_view::npos) comma = line.size();
            std::string_view coding = trimmed(line.substr(start, comma - start));
            if (!coding.empty()) {
                ++codings;
                chunked = chunked && same_name(coding, "chunked");
            }
            start = comma + 1;
        }
    }
    return codings == 1 && chunked;
}

HeadRefusal refuse(int status, std::string message = {}) {
    return HeadRefusal{status, std::move(message)};
}

}  // namespace

std::optional<HeadRefusal> check_request_head(const RequestHead& head, std::size_t max_head_bytes,
                                              std::size_t max_body_bytes) {
    // "METHOD TARGET VERSION\r\n", then "Name: value\r\n" each, then "\r\n".
    const std::size_t line_bytes = head.method.size() + 1 + head.target_bytes + 1 + head.version.size() + 2;
    std::size_t field_bytes = 2;
    for (const auto& [name, value] : head.headers) field_bytes += name.size() + 2 + value.size() + 2;
    if (line_bytes + field_bytes > max_head_bytes) return refuse(line_bytes > field_bytes ? 414 : 431);

    if (!is_token(head.method)) return refuse(400, "malformed request line");
    int hosts = 0;
    int lengths = 0;
    std::string_view length;
    std::vector<std::string_view> transfer_encodings;
    for (const auto& [name, value] : head.headers) {
        if (!is_token(name) || !is_field_value(value)) return refuse(400, "malformed header line");
        if (same_name(name, "Host")) ++hosts;
        if (same_name(name, "Content-Length")) {
            ++lengths;
            length = trimmed(value);
        }
        if (same_name(name, "Transfer-Encoding")) transfer_encodings.push_back(value);
    }

    if (hosts > 1) return refuse(400, "more than one Host header");
    if (hosts == 0 && head.version == "HTTP/1.1") return refuse(400, "HTTP/1.1 requests need a Host header");
    if (!transfer_encodings.empty() && !only_chunked(transfer_encodings)) {
        return refuse(501, "Transfer-Encoding other than chunked is not supported");
    }
    // Two lengths, a length that is not a number, or a length beside chunked coding: a
    // proxy in front may read the body differently, so nothing of it is trusted.
    if (lengths > 1) return refuse(400, "conflicting Content-Length headers");
    if (lengths == 1) {
        if (length.empty() ||
            !std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return refuse(400, "Content-Length must be a decimal number");
        }
        if (!transfer_encodings.empty()) return refuse(400, "Content-Length and Transfer-Encoding together");
        const std::string_view digits = length.substr(std::min(length.find_first_not_of('0'), length.size()));
        if (digits.size() > 18 || (!digits.empty() && std::stoull(std::string(digits)) > max_body_bytes)) {
            return refuse(413);
        }
    }
    return std::nullopt;
}

}  // namespace vornmark::server
