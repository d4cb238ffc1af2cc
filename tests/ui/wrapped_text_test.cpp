#include "ui/wrapped_text.h"

#include <gtest/gtest.h>

namespace vornmark {

namespace {

// One unit of width per byte.
float bytes(std::string_view text) {
    return static_cast<float>(text.size());
}

TEST(WrapAtBlanks, BreaksOnlyAtBlanksAndLineBreaks) {
    struct Case {
        const char* text;
        float width;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"Debian 12 (Kernel 6.18.44-fc)", 20, {"Debian 12 (Kernel", "6.18.44-fc)"}},
        {"refused 127.0.0.1:8443", 14, {"refused", "127.0.0.1:8443"}},
        {"abcdefghij", 4, {"abcd", "efgh", "ij"}},  // a word wider than a line is cut
        {"kept as /home/user/history.json.copy", 20, {"kept as", "/home/user/", "history.json.copy"}},
        {"two  blanks kept", 20, {"two  blanks kept"}},
        {"first\n\nthird line", 6, {"first", "", "third", "line"}},
        {"", 10, {""}},
        {"x", 0, {"x"}},  // no room at all still shows the text
    };
    for (const Case& c : cases) EXPECT_EQ(wrap_at_blanks(c.text, c.width, bytes), c.lines) << c.text;
}

TEST(WrapAtBlanks, NeverCutsInsideAUtf8Character) {
    // "é" is two bytes: a line of three bytes holds one of them and never half of the next.
    EXPECT_EQ(wrap_at_blanks("\xC3\xA9\xC3\xA9", 3, bytes),
              (std::vector<std::string>{"\xC3\xA9", "\xC3\xA9"}));
}

TEST(PackFields, FieldsShareALineWhileTheyFitAndAWideFieldIsWrapped) {
    struct Case {
        const char* text;
        float width;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"1 / 4 | 25% | 3s", 99, {"1 / 4 | 25% | 3s"}},
        {"1 / 4 | 25% | 3s", 11, {"1 / 4 | 25%", "3s"}},
        {"1 / 4 | 25% | 3s", 10, {"1 / 4", "25% | 3s"}},
        {"1 / 4 | 25% | 3s", 5, {"1 / 4", "25%", "3s"}},
        {"Cancelled after 5 of 9 | x", 12, {"Cancelled", "after 5 of 9", "x"}},
        {"no fields", 6, {"no", "fields"}},
    };
    for (const Case& c : cases) EXPECT_EQ(pack_fields(c.text, " | ", c.width, bytes), c.lines) << c.text;
}

}  // namespace

}  // namespace vornmark
