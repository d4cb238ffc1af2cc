#include "history/replace_file.h"
#include "history/unreadable_copy.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/history/test_files.h"

namespace vornmark {

TEST(ReplaceFileContents, CreatesAndReplacesWithoutLeftovers) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    ASSERT_TRUE(replace_file_contents(path, "first"));
    ASSERT_TRUE(replace_file_contents(path, "second, longer"));
    ASSERT_TRUE(replace_file_contents(path, "3"));
    EXPECT_EQ(read_text(path), "3");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"history.json"});
}

TEST(ReplaceFileContents, TemporaryThatCannotBeCreatedLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.file(std::string(250, 'x'));  // no room for a longer name
    write_text(path, "old");
    EXPECT_FALSE(replace_file_contents(path, "new"));
    EXPECT_EQ(read_text(path), "old");
    EXPECT_EQ(names_in(dir.path()).size(), 1u);
}

TEST(ReplaceFileContents, FailedRenameRemovesTheTemporaryFile) {
    TempDir dir;
    // A non-empty directory where the file should be: everything succeeds up to the rename.
    const std::string path = dir.file("history.json");
    std::filesystem::create_directory(path);
    write_text(path + "/keep", "inside");
    EXPECT_FALSE(replace_file_contents(path, "new"));
    EXPECT_EQ(read_text(path + "/keep"), "inside");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"history.json"});
}

TEST(ReplaceFileContents, KeepsPermissionBits) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    write_text(path, "old");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    ASSERT_TRUE(replace_file_contents(path, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(UnreadableCopyName, IsStampedWithLocalTimeAndNumbered) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 3;
    local.tm_mday = 18;
    local.tm_hour = 7;
    local.tm_min = 40;
    local.tm_sec = 53;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    EXPECT_EQ(unreadable_copy_name("/a/history.json", when, 0), "/a/history.json.unreadable-20260418-074053");
    EXPECT_EQ(unreadable_copy_name("/a/history.json", when, 2),
              "/a/history.json.unreadable-20260418-074053-2");
}

TEST(KeepFileAside, NeverOverwritesAnEarlierCopy) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    const std::time_t when = 1776497853;
    write_text(unreadable_copy_name(path, when, 0), "earliest");
    write_text(path, "broken one");

    std::string kept;
    ASSERT_TRUE(keep_file_aside(path, when, &kept));
    EXPECT_EQ(kept, unreadable_copy_name(path, when, 1));
    write_text(path, "broken two");
    ASSERT_TRUE(keep_file_aside(path, when, &kept));
    EXPECT_EQ(kept, unreadable_copy_name(path, when, 2));

    EXPECT_EQ(read_text(unreadable_copy_name(path, when, 0)), "earliest");
    EXPECT_EQ(read_text(unreadable_copy_name(path, when, 1)), "broken one");
    EXPECT_EQ(read_text(unreadable_copy_name(path, when, 2)), "broken two");
    EXPECT_EQ(read_text(path), "broken two");
}

TEST(KeepFileAside, NothingToKeepWhenTheFileIsMissing) {
    TempDir dir;
    std::string kept;
    EXPECT_TRUE(keep_file_aside(dir.file("history.json"), 0, &kept));
    EXPECT_TRUE(kept.empty());
    EXPECT_TRUE(names_in(dir.path()).empty());
}

}  // namespace vornmark
