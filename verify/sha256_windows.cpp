// SHA-256 through Windows' Cryptography API: Next Generation (bcrypt.dll).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "verify/sha256.h"

namespace vornmark {

namespace {

bool succeeded(NTSTATUS status) {
    return status >= 0;
}

}  // namespace

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash != nullptr) BCryptDestroyHash(hash);
        if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : state(std::make_unique<State>()) {
    if (!succeeded(BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        throw std::runtime_error("SHA-256 is not available from BCrypt");
    // Windows 7 and later allocate the hash object themselves when given none.
    if (!succeeded(BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0)))
        throw std::runtime_error("BCrypt could not create a SHA-256 hash");
}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    // BCryptHashData takes at most a ULONG at a time.
    while (size > 0) {
        const auto piece = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
        if (!succeeded(BCryptHashData(state->hash, bytes, piece, 0)))
            throw std::runtime_error("SHA-256 update failed in BCrypt");
        bytes += piece;
        size -= piece;
    }
}

Sha256Digest Sha256::finish() {
    Sha256Digest digest{};
    if (!succeeded(BCryptFinishHash(state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw std::runtime_error("SHA-256 finish failed in BCrypt");
    return digest;
}

}  // namespace vornmark
