#include "server/cpu_name.h"

#include <set>

#include <gtest/gtest.h>

namespace vornmark::server {

TEST(CpuNameKey, NamesThatLookAlikeShareOneKeyAndOthersDoNot) {
    const std::vector<std::vector<std::string>> groups = {
        {"Cafe CPU", "Ｃafe CPU",
         "C\xD0\xB0"
         "fe CPU"},  // fullwidth C; Cyrillic a
        {"Caf\xC3\xA9 CPU", "Cafe\xCC\x81 CPU"},
        {"cafe CPU"},  // letter case is not a look-alike
        {"Cafe GPU"},
    };
    std::set<std::string> keys_of_groups;
    for (const auto& group : groups) {
        std::set<std::string> keys;
        for (const std::string& name : group) keys.insert(cpu_name_key(canonical_cpu_name(name)));
        EXPECT_EQ(keys.size(), 1u) << group.front();
        keys_of_groups.insert(*keys.begin());
    }
    EXPECT_EQ(keys_of_groups.size(), groups.size());
    EXPECT_NE(cpu_name_key_version().find("ICU"), std::string::npos);
}

}  // namespace vornmark::server
