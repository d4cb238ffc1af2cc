#include "net/printable_text.h"

#include <gtest/gtest.h>

namespace vornmark {

TEST(PrintableText, ReplacesWhatWouldControlOrReorderTheDisplay) {
    const std::pair<std::string, std::string> cases[] = {
        {"Intel(R) Core(TM) i7 \xC2\xAE \xE4\xB8\xAD", "Intel(R) Core(TM) i7 \xC2\xAE \xE4\xB8\xAD"},
        {"\x1b[2J\x1b[31mRed", "?[2J?[31mRed"},        // ESC sequences
        {"A\r\nFake line\tx\x7f", "A??Fake line?x?"},  // CR, LF, tab, DEL
        {"\x1b]0;Title\x07", "?]0;Title?"},            // OSC with BEL
        {"\xC2\x9B"
         "1m",
         "?1m"},  // CSI as a C1 control
        {"\x9B"
         "1m\xFF\xC3",
         "?1m??"},                               // bytes that are not UTF-8
        {"\xE0\x80\x80\xED\xA0\x80", "??????"},  // overlong form, surrogate
        {"\xE2\x80\xAE"
         "evil\xE2\x81\xA6\xE2\x80\xA8",
         "?evil??"},  // bidi override and isolate, line separator
    };
    for (const auto& [text, printable] : cases) EXPECT_EQ(printable_text(text), printable) << printable;
}

}  // namespace vornmark
