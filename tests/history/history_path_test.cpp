#include "history/history_path.h"

#include <gtest/gtest.h>

namespace vornmark {

TEST(HistoryPath, JoinsTheExecutableDirectoryWithSlash) {
    EXPECT_EQ(history_path_beside("/opt/vornmark/bin/vornmark"), "/opt/vornmark/bin/history.json");
    EXPECT_EQ(history_path_beside("/vornmark"), "/history.json");
    EXPECT_EQ(history_path_beside("vornmark"), "./history.json");
    EXPECT_EQ(history_path_beside(""), "./history.json");
}

TEST(HistoryPath, WritableExecutableDirectoryWins) {
    EXPECT_EQ(choose_history_path("/home/u/vm/vornmark", true, "/xdg", "/home/u"), "/home/u/vm/history.json");
}

TEST(HistoryPath, ReadOnlyExecutableDirectoryUsesTheUserDataDirectory) {
    EXPECT_EQ(choose_history_path("/usr/bin/vornmark", false, "/data/u", "/home/u"),
              "/data/u/vornmark/history.json");
    EXPECT_EQ(choose_history_path("/usr/bin/vornmark", false, "", "/home/u"),
              "/home/u/.local/share/vornmark/history.json");
    EXPECT_EQ(choose_history_path("/usr/bin/vornmark", false, "relative/dir", "/home/u"),
              "/home/u/.local/share/vornmark/history.json");
    EXPECT_EQ(choose_history_path("/usr/bin/vornmark", false, "", ""), "/usr/bin/history.json");
}

TEST(HistoryPath, InstalledProgramUsesTheUserDataDirectoryEvenWhenItsFolderIsWritable) {
    // Root can write to /usr/bin; its history must not land among the installed programs.
    EXPECT_EQ(choose_history_path("/usr/bin/vornmark", true, "", "/root"),
              "/root/.local/share/vornmark/history.json");
    EXPECT_EQ(choose_history_path("/usr/local/bin/vornmark-cli", true, "/data/r", "/root"),
              "/data/r/vornmark/history.json");
    EXPECT_EQ(choose_history_path("/usr/bin/tools/vornmark", true, "", "/root"),
              "/usr/bin/tools/history.json");
}

TEST(HistoryPath, DefaultLiesBesideThisTestProgram) {
    // The build directory is writable, so the history goes beside the executable.
    const std::string executable = executable_path();
    ASSERT_FALSE(executable.empty());
    EXPECT_EQ(default_history_path(), history_path_beside(executable));
    EXPECT_TRUE(directory_is_writable(executable_directory(executable)));
    EXPECT_FALSE(directory_is_writable("/nonexistent-vornmark-directory"));
}

}  // namespace vornmark
