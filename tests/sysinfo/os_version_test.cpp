#include "sysinfo/os_version.h"

#include <gtest/gtest.h>

namespace vornmark {

TEST(OsVersion, PrettyNameFollowedByTheKernel) {
    EXPECT_EQ(os_version_text("Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64"),
              "Debian GNU/Linux 12 (bookworm) (Kernel 6.1.0-18-amd64)");
}

TEST(OsVersion, MissingPartsFallBack) {
    EXPECT_EQ(os_version_text("Arch Linux", ""), "Arch Linux");
    EXPECT_EQ(os_version_text("", "6.8.0"), "Linux (Kernel 6.8.0)");
    EXPECT_EQ(os_version_text("", ""), "");
}

TEST(OsRelease, ValuesLoseTheirQuoting) {
    const std::string text = "# comment\nNAME=Plain\nPRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$x\"\nID='single "
                             "quoted'\nVERSION_ID=\"12\"\n"
                             "EMPTY=\n";
    EXPECT_EQ(os_release_value(text, "NAME").value_or("?"), "Plain");
    EXPECT_EQ(os_release_value(text, "PRETTY_NAME").value_or("?"), "Say \"hi\" \\ $x");
    EXPECT_EQ(os_release_value(text, "ID").value_or("?"), "single quoted");
    EXPECT_EQ(os_release_value(text, "VERSION_ID").value_or("?"), "12");
    EXPECT_EQ(os_release_value(text, "EMPTY").value_or("?"), "");
    EXPECT_FALSE(os_release_value(text, "VERSION").has_value());
    EXPECT_FALSE(os_release_value(text, "comment").has_value());
}

}  // namespace vornmark
