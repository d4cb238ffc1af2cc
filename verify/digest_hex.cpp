#include "verify/sha256.h"

namespace vornmark {

Sha256Digest sha256_of(const void* data, std::size_t size) {
    Sha256 hash;
    hash.update(data, size);
    return hash.finish();
}

std::string digest_hex(const Sha256Digest& digest) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 15]);
    }
    return text;
}

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool parse_digest_hex(const std::string& text, Sha256Digest& digest) {
    if (text.size() != digest.size() * 2) return false;
    Sha256Digest parsed{};
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const int high = hex_value(text[2 * i]);
        const int low = hex_value(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        parsed[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    digest = parsed;
    return true;
}

}  // namespace vornmark
