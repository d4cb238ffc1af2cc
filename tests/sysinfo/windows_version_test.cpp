#include "sysinfo/windows_version.h"

#include <gtest/gtest.h>

namespace vornmark {

TEST(WindowsVersion, ElevenFromBuild22000AndOptionalParts) {
    struct Case {
        const char* product;
        const char* display;
        const char* build;
        const char* expected;
    };
    const Case cases[] = {
        {"Windows 10 Pro", "23H2", "22631", "Windows 11 Pro 23H2 (Build 22631)"},
        {"Windows 10 Home", "", "19041", "Windows 10 Home (Build 19041)"},
        {"Windows 10 Pro", "", "22000", "Windows 11 Pro (Build 22000)"},
        {"Windows 10 Pro", "", "21999", "Windows 10 Pro (Build 21999)"},
        {"Windows 10", "", "22000", "Windows 11 (Build 22000)"},
        {"Windows Server 2022 Datacenter", "21H2", "22631",
         "Windows Server 2022 Datacenter 21H2 (Build 22631)"},
        {"Windows 10 Pro", "22H2", "", "Windows 10 Pro 22H2"},
        {"Windows 10 Pro", "", "22621.1", "Windows 11 Pro (Build 22621.1)"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(windows_version_text(c.product, c.display, c.build), c.expected);
}

}  // namespace vornmark
