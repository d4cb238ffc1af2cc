#include "server/address_unit.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

namespace vornmark::server {

namespace {

constexpr std::size_t key_bytes = 32;

std::string hex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

}  // namespace

std::optional<std::string> address_unit(std::string_view address) {
    const std::string text(address);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        char out[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &v4, out, sizeof out);
        return std::string(out);
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) return std::nullopt;
    static const unsigned char mapped_prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(v6.s6_addr, mapped_prefix, sizeof mapped_prefix) == 0) {
        std::memcpy(&v4, v6.s6_addr + 12, 4);
        char out[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &v4, out, sizeof out);
        return std::string(out);
    }
    std::memset(v6.s6_addr + 8, 0, 8);
    char out[INET6_ADDRSTRLEN];
    inet_ntop(AF_INET6, &v6, out, sizeof out);
    return std::string(out) + "/64";
}

namespace {

// The key's file as written, or nothing when it cannot be opened (errno says why).
std::optional<std::string> read_key_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    std::string secret = content.str();
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) secret.pop_back();
    return secret;
}

}  // namespace

AddressKey AddressKey::load_or_create(const std::string& path) {
    if (std::optional<std::string> secret = read_key_file(path)) {
        if (secret->size() < 16) throw std::runtime_error("the address key " + path + " is too short");
        return AddressKey(std::move(*secret));
    }
    unsigned char random[key_bytes];
    if (RAND_bytes(random, sizeof random) != 1)
        throw std::runtime_error("no random bytes for the address key");
    const std::string secret = hex(random, sizeof random);
    // Created exclusively: two servers starting together keep the one that came first.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Something is there that could not be read a moment ago: another server's key being
        // written, or a file this user may not read (or a link to nothing), which stays an error.
        if (errno == EEXIST) {
            int why = 0;
            for (int attempt = 0; attempt < 20; ++attempt) {
                errno = 0;
                std::optional<std::string> theirs = read_key_file(path);
                if (theirs && theirs->size() >= 16) return AddressKey(std::move(*theirs));
                why = theirs ? 0 : errno;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            throw std::runtime_error("cannot read the address key " + path + ": " +
                                     (why != 0 ? std::strerror(why) : "too short"));
        }
        throw std::runtime_error("cannot make the address key " + path + ": " + std::strerror(errno));
    }
    const std::string line = secret + "\n";
    const bool written =
        ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) throw std::runtime_error("cannot write the address key " + path);
    return AddressKey(secret);
}

struct AddressKey::Recent {
    // Emptied when full, so that a flood of addresses holds no more than this.
    static constexpr std::size_t most = 4096;
    std::mutex mutex;
    std::unordered_map<std::string, std::string> hashes;
};

AddressKey::AddressKey(std::string secret) : recent_(std::make_shared<Recent>()) {
    static EVP_MAC* const hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (hmac == nullptr) throw std::runtime_error("no HMAC in the crypto library");
    std::shared_ptr<EVP_MAC_CTX> context(EVP_MAC_CTX_new(hmac), &EVP_MAC_CTX_free);
    char digest_name[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest_name, 0),
                                 OSSL_PARAM_construct_end()};
    if (!context || EVP_MAC_init(context.get(), reinterpret_cast<const unsigned char*>(secret.data()),
                                 secret.size(), params) != 1)
        throw std::runtime_error("cannot set up the address key's HMAC");
    keyed_ = std::move(context);
}

std::string AddressKey::unit_of(std::string_view address) const {
    const std::string unit = address_unit(address).value_or(std::string(address));
    {
        std::lock_guard lock(recent_->mutex);
        auto known = recent_->hashes.find(unit);
        if (known != recent_->hashes.end()) return known->second;
    }
    // The copy is this call's own, so that requests on several threads hash at once.
    const std::unique_ptr<EVP_MAC_CTX, decltype(&EVP_MAC_CTX_free)> context(
        EVP_MAC_CTX_dup(const_cast<EVP_MAC_CTX*>(keyed_.get())), &EVP_MAC_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    std::size_t length = 0;
    if (!context ||
        EVP_MAC_update(context.get(), reinterpret_cast<const unsigned char*>(unit.data()), unit.size()) !=
            1 ||
        EVP_MAC_final(context.get(), digest, &length, sizeof digest) != 1)
        throw std::runtime_error("the address key's HMAC failed");
    // 128 bits tell units apart as well as the whole digest would.
    std::string hash = hex(digest, std::min<std::size_t>(length, 16));
    std::lock_guard lock(recent_->mutex);
    if (recent_->hashes.size() >= Recent::most) recent_->hashes.clear();
    recent_->hashes.emplace(unit, hash);
    return hash;
}

}  // namespace vornmark::server
