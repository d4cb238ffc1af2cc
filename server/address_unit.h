#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_mac_ctx_st;

namespace vornmark::server {

// The unit a client address counts as for every per-address limit: its /32 for IPv4 (an
// IPv4-mapped IPv6 address included, as the dual-stack socket reports IPv4 clients), its /64
// for IPv6. Text such as "198.51.100.7" or "2001:db8:1:2::/64"; nothing when the text is no
// address.
std::optional<std::string> address_unit(std::string_view address);

// The key that turns an address unit into what is stored: a secret kept in a file apart from
// the database, so that the database alone does not tell who submitted.
class AddressKey {
public:
    // Reads the key from `path`; when the file does not exist, makes a random key and writes it
    // there (readable by the owner only). Throws std::runtime_error when it can do neither.
    static AddressKey load_or_create(const std::string& path);
    explicit AddressKey(std::string secret);

    // The keyed hash (HMAC-SHA-256, hexadecimal) of the address's unit; of the text itself
    // when it is no address.
    std::string unit_of(std::string_view address) const;

private:
    // HMAC set up with the secret once; each hash starts from a copy of it, which spares the
    // algorithm's lookup and the key's set-up on every request.
    std::shared_ptr<const evp_mac_ctx_st> keyed_;
    // The hashes of the units seen lately, shared by the copies of this key: a client that
    // submits again is hashed once.
    struct Recent;
    std::shared_ptr<Recent> recent_;
};

}  // namespace vornmark::server
