// The history file as the Windows build keeps it: beside the .exe, joined by a backslash, written
// with CR LF line breaks and read back with either.
#include <gtest/gtest.h>

#include <string>

#include "history/history_path.h"
#include "history/history_store.h"
#include "tests/history/test_files.h"

TEST(WindowsHistoryPath, LiesBesideTheExecutableJoinedByABackslash) {
    EXPECT_EQ(history_path_beside("C:\\Program Files\\Vornmark\\Vornmark.exe"),
              "C:\\Program Files\\Vornmark\\history.json");
    EXPECT_EQ(history_path_beside("Z:/work/build/Vornmark.exe"), "Z:/work/build\\history.json");
    EXPECT_EQ(history_path_beside("Vornmark.exe"), ".\\history.json");

    const std::string executable = executable_path();
    ASSERT_GT(executable.size(), 4u);
    EXPECT_EQ(executable.substr(executable.size() - 4), ".exe");
    EXPECT_EQ(default_history_path(), history_path_beside(executable)) << "the test folder is writable";
}

TEST(WindowsHistoryFile, IsWrittenWithCrLfAndReadsBackEitherWay) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    HistoryStore store(path);
    store.load();
    HistoryEntry entry;
    entry.type = "single";
    entry.score = 1234;
    store.append(entry);

    const std::string written = read_text(path);
    EXPECT_EQ(written.rfind("{\r\n  \"runs\": [\r\n    {\r\n", 0), 0u) << written;
    EXPECT_EQ(written.find("\n\n"), std::string::npos);
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\n') {
            EXPECT_EQ(written[i - 1], '\r') << "bare LF at byte " << i;
        }
    }

    HistoryStore crlf(path);
    crlf.load();
    ASSERT_EQ(crlf.entries().size(), 1u);
    EXPECT_EQ(crlf.entries()[0].score, 1234);

    write_text(path, "{\n  \"runs\": [\n    {\"type\": \"multi\", \"score\": 77}\n  ]\n}");
    HistoryStore lf(path);
    lf.load();
    ASSERT_EQ(lf.entries().size(), 1u);
    EXPECT_EQ(lf.entries()[0].score, 77);
    lf.remove(0);
    EXPECT_EQ(read_text(path), "{\r\n  \"runs\": []\r\n}");
    for (const std::string& name : names_in(dir.path())) {
        EXPECT_TRUE(name == "history.json" || name == "history.json.lock") << "left behind: " << name;
    }
}
