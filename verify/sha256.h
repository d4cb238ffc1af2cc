#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vornmark {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 over bytes fed in any number of pieces, computed by the platform's
// cryptographic library (sha256_linux.cpp: OpenSSL, sha256_windows.cpp: BCrypt). Throws
// std::runtime_error if that library cannot provide the hash.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const void* data, std::size_t size);
    // The digest of everything fed so far; call once.
    Sha256Digest finish();

private:
    struct State;
    std::unique_ptr<State> state;
};

Sha256Digest sha256_of(const void* data, std::size_t size);

// 64 lowercase hexadecimal digits.
std::string digest_hex(const Sha256Digest& digest);

// Reads 64 hexadecimal digits (either case); false for anything else.
bool parse_digest_hex(const std::string& text, Sha256Digest& digest);

}  // namespace vornmark
