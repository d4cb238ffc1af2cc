// SHA-256 through OpenSSL's libcrypto (Linux and other POSIX systems).
#include <openssl/evp.h>

#include <stdexcept>

#include "verify/sha256.h"

namespace vornmark {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state(std::make_unique<State>()) {
    state->context = EVP_MD_CTX_new();
    if (state->context == nullptr || EVP_DigestInit_ex(state->context, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available from libcrypto");
}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, std::size_t size) {
    if (size != 0 && EVP_DigestUpdate(state->context, data, size) != 1)
        throw std::runtime_error("SHA-256 update failed in libcrypto");
}

Sha256Digest Sha256::finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(state->context, digest.data(), &length) != 1 || length != digest.size())
        throw std::runtime_error("SHA-256 finish failed in libcrypto");
    return digest;
}

}  // namespace vornmark
