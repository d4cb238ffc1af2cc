#pragma once

#include <string>
#include <string_view>

namespace vornmark::server {

// The gzip content coding, for pages large enough to be worth it (the standings page).

// `text` in gzip format (RFC 1952); throws std::runtime_error if zlib fails.
std::string gzip_compressed(std::string_view text);

// Whether an Accept-Encoding header's value takes gzip: "gzip" (or "x-gzip") among its codings
// without q=0. Case-insensitive; a missing header (nullptr) takes only the identity coding.
bool accepts_gzip(const char* accept_encoding);

}  // namespace vornmark::server
