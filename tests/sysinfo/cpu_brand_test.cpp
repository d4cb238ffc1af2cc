#include "sysinfo/cpu_brand.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vornmark {

namespace {

std::array<std::uint32_t, 12> registers_holding(const std::string& text) {
    std::array<std::uint32_t, 12> registers{};
    std::memcpy(registers.data(), text.data(), std::min<std::size_t>(text.size(), 48));
    return registers;
}

}  // namespace

TEST(CpuBrand, LeadingSpacesGoTrailingSpacesStay) {
    EXPECT_EQ(brand_string_from_registers(registers_holding("  Intel(R) Core(TM) i7  ")),
              "Intel(R) Core(TM) i7  ");
}

TEST(CpuBrand, OnlySpacesStayAsTheyAre) {
    EXPECT_EQ(brand_string_from_registers(registers_holding("   ")), "   ");
    EXPECT_EQ(brand_string_from_registers(registers_holding("")), "");
}

TEST(CpuBrand, TextEndsAtTheFirstZeroByteOrAfter48Bytes) {
    EXPECT_EQ(brand_string_from_registers(registers_holding(std::string("AMD\0junk", 8))), "AMD");
    const std::string full(48, 'x');
    EXPECT_EQ(brand_string_from_registers(registers_holding(full)), full);
}

}  // namespace vornmark
