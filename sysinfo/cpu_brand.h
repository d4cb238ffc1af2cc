#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vornmark {

// The brand text of CPUID leaves 0x80000002..0x80000004 (EAX, EBX, ECX, EDX each): 48 bytes, ending at
// the first zero byte, with leading spaces removed unless the text is nothing but spaces.
std::string brand_string_from_registers(const std::array<std::uint32_t, 12>& registers);

// This processor's brand text; empty off x86 or when the processor has no brand leaves.
std::string cpuid_brand_string();

}  // namespace vornmark
