#include "verify/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace vornmark {

// Published test vectors (FIPS 180-2 examples and the empty message).
TEST(Sha256, MatchesPublishedVectors) {
    struct Case {
        std::string message;
        const char* hex;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const Case& c : cases) EXPECT_EQ(digest_hex(sha256_of(c.message.data(), c.message.size())), c.hex);
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    // A million 'a' in uneven pieces.
    const std::string piece(999, 'a');
    Sha256 hash;
    std::size_t fed = 0;
    while (fed + piece.size() <= 1000000) {
        hash.update(piece.data(), piece.size());
        fed += piece.size();
    }
    hash.update(piece.data(), 1000000 - fed);
    hash.update(nullptr, 0);
    EXPECT_EQ(digest_hex(hash.finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, HexTextRoundTripsAndRejectsAnythingElse) {
    Sha256Digest digest{};
    const std::string hex = "BA7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    ASSERT_TRUE(parse_digest_hex(hex, digest));
    EXPECT_EQ(digest_hex(digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    for (const std::string& bad : {std::string(), hex.substr(1), hex + "0", hex.substr(0, 63) + "g"}) {
        Sha256Digest untouched = digest;
        EXPECT_FALSE(parse_digest_hex(bad, untouched)) << bad;
        EXPECT_EQ(untouched, digest) << "a rejected text leaves the digest as it was";
    }
}

}  // namespace vornmark
