#include <gtest/gtest.h>

#include "sysinfo/system_info.h"

namespace vornmark {

TEST(CacheSizeText, ZeroIsNotAvailable) {
    EXPECT_EQ(cache_size_text(0), "N/A");
}

TEST(CacheSizeText, BelowOneMebibyteIsWholeKibibytes) {
    EXPECT_EQ(cache_size_text(1), "0 KB");
    EXPECT_EQ(cache_size_text(1023), "0 KB");
    EXPECT_EQ(cache_size_text(49152), "48 KB");
    EXPECT_EQ(cache_size_text(1048575), "1023 KB");
}

TEST(CacheSizeText, FromOneMebibyteIsWholeMebibytesTruncated) {
    EXPECT_EQ(cache_size_text(1048576), "1 MB");
    EXPECT_EQ(cache_size_text(1310720), "1 MB");
    EXPECT_EQ(cache_size_text(33554432), "32 MB");
    EXPECT_EQ(cache_size_text(~0ull), "17592186044415 MB");
}

}  // namespace vornmark
