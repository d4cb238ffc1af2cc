#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vornmark::server {

// A request's head as the HTTP library parsed it: the request line's parts and the
// header lines in order, names and values as sent.
struct RequestHead {
    std::string_view method;
    std::string_view version;      // "HTTP/1.1"
    std::size_t target_bytes = 0;  // the request target as sent, query included
    std::vector<std::pair<std::string_view, std::string_view>> headers;
};

struct HeadRefusal {
    int status = 400;
    std::string message;  // empty: the usual message of the status
};

// The rules a request head must keep before its body is read; the first one broken,
// or nothing when the head is acceptable:
// - request line and header lines together within `max_head_bytes` (414 when the
//   request line is the larger part, else 431);
// - header names are tokens and values hold no control characters (400);
// - HTTP/1.1 has exactly one Host header (400);
// - no Transfer-Encoding other than a single "chunked" (501);
// - at most one Content-Length, a decimal number, not beside Transfer-Encoding (400),
//   and not above `max_body_bytes` (413).
std::optional<HeadRefusal> check_request_head(const RequestHead& head, std::size_t max_head_bytes,
                                              std::size_t max_body_bytes);

}  // namespace vornmark::server
