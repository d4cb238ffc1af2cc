#include "server/name_rules.h"

#include <cstdint>
#include <cstdio>
#include <iterator>

namespace {

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// General category Cf (format characters) of Unicode 15: bidi controls and isolates,
// zero-width space / joiners, the word joiner and invisible operators, the byte-order
// mark, soft hyphen, interlinear annotation marks, tag characters and a few
// script-specific ones.
constexpr Range format_characters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

// Characters that draw nothing on their own: space separators (category Zs), fillers
// and blanks, and variation selectors. A name made only of these (and of format
// characters) shows as empty.
constexpr Range blank_characters[] = {
    {0x0020, 0x0020}, {0x00A0, 0x00A0},   {0x034F, 0x034F}, {0x115F, 0x1160}, {0x1680, 0x1680},
    {0x17B4, 0x17B5}, {0x180B, 0x180D},   {0x180F, 0x180F}, {0x2000, 0x200A}, {0x202F, 0x202F},
    {0x205F, 0x205F}, {0x2800, 0x2800},   {0x3000, 0x3000}, {0x3164, 0x3164}, {0xFE00, 0xFE0F},
    {0xFFA0, 0xFFA0}, {0xE0100, 0xE01EF},
};

template <std::size_t N>
bool in(const Range (&table)[N], std::uint32_t code) {
    for (const Range& r : table) {
        if (code >= r.first && code <= r.last) return true;
    }
    return false;
}

// Decodes the code point at `i` and moves `i` past it; the text is valid UTF-8.
std::uint32_t next_code_point(std::string_view text, std::size_t& i) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : 4;
    static constexpr unsigned char lead_mask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::uint32_t code = byte & lead_mask[length];
    for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
        code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += length;
    return code;
}

std::string code_point_name(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
    return text;
}

}  // namespace

std::string cpu_name_rule_broken(std::string_view name) {
    bool visible = false;
    for (std::size_t i = 0; i < name.size();) {
        std::uint32_t code = next_code_point(name, i);
        if (code == 0x2028 || code == 0x2029) {
            return "not contain line or paragraph separators (found " + code_point_name(code) + ")";
        }
        if (in(format_characters, code)) {
            return "not contain invisible format characters such as bidi controls or zero-width characters "
                   "(found " +
                   code_point_name(code) + ")";
        }
        if (!in(blank_characters, code)) visible = true;
    }
    if (!visible) return "contain a visible character";
    return {};
}
