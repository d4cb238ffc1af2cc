// The history file as the Windows build keeps it: beside the portable .exe or in the user's
// profile for an installed one, written with CR LF line breaks and read back with either, and
// replaced even while another program briefly holds it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "history/history_path.h"
#include "history/history_store.h"
#include "history/replace_file.h"
#include "history/wide_text_windows.h"
#include "tests/history/test_files.h"

namespace vornmark {

TEST(WindowsHistoryPath, InstalledProgramsKeepItInTheProfilePortableOnesBesideThemselves) {
    const std::string profile = "C:\\users\\Jürgen ベンチ\\AppData\\Local";
    const std::string in_profile = profile + "\\Vornmark\\history.json";
    const std::vector<std::string> folders = {"C:\\Program Files", "", "C:\\Program Files (x86)\\"};
    struct Case {
        const char* executable;
        bool writable;
        std::string local_app_data;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Vornmark\\vornmark-cli.exe", true, profile, in_profile},
        {"c:/program files/Vornmark/Vornmark.exe", true, profile, in_profile},
        {"C:\\Program Files (x86)\\Vornmark\\Vornmark.exe", true, profile, in_profile},
        {"D:\\Tools\\Vornmark\\Vornmark.exe", false, profile, in_profile},
        {"D:\\Tools\\Jürgen ベンチ\\Vornmark.exe", true, profile, "D:\\Tools\\Jürgen ベンチ\\history.json"},
        {"C:\\Program Files Portable\\Vornmark.exe", true, profile,
         "C:\\Program Files Portable\\history.json"},
        {"C:\\Program Files\\Vornmark\\Vornmark.exe", true, "", "C:\\Program Files\\Vornmark\\history.json"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_windows_history_path(c.executable, c.writable, c.local_app_data, folders),
                  c.expected)
            << c.executable;
}

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

// A history file "old" that another program holds open without delete sharing, as a virus
// scanner or the search indexer does, until release().
class WindowsFileReplace : public testing::Test {
protected:
    void SetUp() override {
        write_text(path, "old");
        held = ::CreateFileW(wide_from_utf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    void TearDown() override { release(); }
    void release() {
        if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    }

    TempDir dir;
    const std::string path = dir.file("history.json");
    HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(WindowsFileReplace, WaitsForAnotherProgramThatHoldsTheFileBriefly) {
    std::jthread other_program([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        release();
    });
    std::string error;
    EXPECT_TRUE(replace_file_contents(path, "new", &error)) << error;
    other_program.join();
    EXPECT_EQ(read_text(path), "new");
}

TEST_F(WindowsFileReplace, GivesUpOnAFileHeldForLongAndKeepsIt) {
    std::string error;
    EXPECT_FALSE(replace_file_contents(path, "new", &error));
    release();
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(read_text(path), "old");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"history.json"}) << "no temporary file left";
}

}  // namespace vornmark
