#include "sysinfo/cpu_brand.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace vornmark {

std::string brand_string_from_registers(const std::array<std::uint32_t, 12>& registers) {
    char text[49] = {};
    std::memcpy(text, registers.data(), 48);
    std::string brand(text);
    const auto first = brand.find_first_not_of(' ');
    if (first != std::string::npos) brand.erase(0, first);
    return brand;
}

std::string cpuid_brand_string() {
#if defined(__x86_64__) || defined(__i386__)
    std::array<std::uint32_t, 12> registers{};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        unsigned* out = registers.data() + leaf * 4;
        // __get_cpuid checks the highest extended leaf first, so an older processor gives nothing
        // rather than the contents of some other leaf.
        if (__get_cpuid(0x80000002u + leaf, &out[0], &out[1], &out[2], &out[3]) == 0) return {};
    }
    return brand_string_from_registers(registers);
#else
    return {};
#endif
}

}  // namespace vornmark
