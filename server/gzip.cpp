#include "server/gzip.h"

#include <zlib.h>

#include <cctype>
#include <stdexcept>

namespace vornmark::server {

namespace {

std::string lower_trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    std::string out;
    for (char c : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::string gzip_compressed(std::string_view text) {
    z_stream stream{};
    // 15 + 16: a gzip header and trailer around the deflate stream.
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("zlib: deflateInit2 failed");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("zlib: deflate failed");
    return out;
}

bool accepts_gzip(const char* accept_encoding) {
    if (!accept_encoding) return false;
    std::string_view rest = accept_encoding;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t semicolon = item.find(';');
        const std::string coding = lower_trimmed(item.substr(0, semicolon));
        if (coding != "gzip" && coding != "x-gzip") continue;
        if (semicolon == std::string_view::npos) return true;
        // "q=0", "q=0.0", "q=0.000": refused; any other weight takes it.
        std::string weight = lower_trimmed(item.substr(semicolon + 1));
        if (weight.rfind("q=", 0) != 0) return true;
        weight.erase(0, 2);
        return weight.find_first_not_of("0.") != std::string::npos || weight.empty();
    }
    return false;
}

}  // namespace vornmark::server
