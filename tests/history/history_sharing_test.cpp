// One history file changed by several stores and processes, as the window and the runner share it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "tests/history/test_files.h"
#include "tests/support/sample_records.h"

extern char** environ;

namespace vornmark {

namespace {

std::vector<std::string> tags_in_file(const std::string& path) {
    HistoryStore store(path);
    store.load();
    EXPECT_FALSE(store.last_load().failed) << store.last_load().reason;
    std::vector<std::string> tags;
    for (const HistoryEntry& entry : store.entries()) tags.push_back(entry.date);
    return tags;
}

std::vector<std::string> numbered(const std::string& tag, int count) {
    std::vector<std::string> tags;
    for (int i = 0; i < count; ++i) tags.push_back(tag + "-" + std::to_string(i));
    return tags;
}

// A running copy of history_writer; its stdout goes to `out`.
class Writer {
public:
    Writer(std::vector<std::string> args, const std::string& out) {
        args.insert(args.begin(), VORNMARK_HISTORY_WRITER);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    // The exit code, or -1 when it did not start or did not exit normally.
    int wait() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_ || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

private:
    pid_t pid_ = -1;
};

}  // namespace

TEST(HistorySharing, TwoStoresAppendingInTurnKeepEachOthersRuns) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    HistoryStore window(path);
    HistoryStore runner(path);
    window.load();
    runner.load();
    window.append(sample_run("multi", 100, 10.0, "w1"));
    runner.append(sample_run("multi", 100, 10.0, "r1"));
    window.append(sample_run("multi", 100, 10.0, "w2"));
    EXPECT_EQ(tags_in_file(path), (std::vector<std::string>{"w1", "r1", "w2"}));
    EXPECT_EQ(window.entries().size(), 3u) << "after a change the list equals the file";
    EXPECT_EQ(runner.entries().size(), 2u) << "a store that changed nothing is not refreshed";
}

TEST(HistorySharing, DeletionRemovesTheClickedRunNotWhatNowStandsAtItsIndex) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    HistoryStore setup(path);
    for (const char* tag : {"a", "b", "c", "d"}) setup.append(sample_run("multi", 100, 10.0, tag));

    HistoryStore window(path);
    HistoryStore runner(path);
    window.load();
    runner.load();
    runner.remove(0);  // "a" goes; the window still shows a, b, c, d
    window.remove(2);  // the user clicks "c", which is now at index 1 of the file
    EXPECT_EQ(tags_in_file(path), (std::vector<std::string>{"b", "d"}));
    EXPECT_EQ(window.entries().size(), 2u);

    window.remove(0);  // "b"; the runner still shows b, c, d
    runner.remove(0);  // "b" is already gone: nothing else is deleted in its place
    EXPECT_TRUE(runner.last_save().saved);
    EXPECT_EQ(tags_in_file(path), (std::vector<std::string>{"d"}));
    EXPECT_EQ(runner.entries().size(), 1u);
}

TEST(HistorySharing, EqualRunsAreDeletedOneAtATime) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    HistoryStore store(path);
    for (const char* tag : {"same", "other", "same"}) store.append(sample_run("multi", 100, 10.0, tag));
    store.remove(2);
    EXPECT_EQ(tags_in_file(path), (std::vector<std::string>{"same", "other"}));
}

TEST(HistorySharing, TwoProcessesAppendingAtOnceLoseNoRun) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    constexpr int rounds = 200;
    Writer first({path, "append", "p", std::to_string(rounds)}, dir.file("p.out"));
    Writer second({path, "append", "q", std::to_string(rounds)}, dir.file("q.out"));
    ASSERT_EQ(first.wait(), 0);
    ASSERT_EQ(second.wait(), 0);

    const std::vector<std::string> tags = tags_in_file(path);
    ASSERT_EQ(tags.size(), 2u * rounds);
    // Each process's runs are all there, in the order it appended them.
    for (const std::string tag : {"p", "q"}) {
        std::vector<std::string> own;
        std::copy_if(tags.begin(), tags.end(), std::back_inserter(own),
                     [&](const std::string& t) { return t.rfind(tag + "-", 0) == 0; });
        EXPECT_EQ(own, numbered(tag, rounds)) << tag;
    }
}

TEST(HistorySharing, DeletionsRacingAppendsRemoveExactlyTheClickedRuns) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    HistoryStore setup(path);
    for (const std::string& tag : numbered("seed", 100)) setup.append(sample_run("multi", 100, 10.0, tag));

    constexpr int appends = 150;
    constexpr int deletions = 100;
    Writer appender({path, "append", "new", std::to_string(appends)}, dir.file("append.out"));
    Writer deleter({path, "remove-newest", std::to_string(deletions)}, dir.file("clicked.out"));
    ASSERT_EQ(appender.wait(), 0);
    ASSERT_EQ(deleter.wait(), 0);

    std::set<std::string> clicked;
    std::istringstream lines(read_text(dir.file("clicked.out")));
    for (std::string line; std::getline(lines, line);) EXPECT_TRUE(clicked.insert(line).second) << line;
    ASSERT_EQ(clicked.size(), static_cast<std::size_t>(deletions));

    std::vector<std::string> expected;
    for (const auto& group : {numbered("seed", 100), numbered("new", appends)}) {
        for (const std::string& tag : group)
            if (!clicked.count(tag)) expected.push_back(tag);
    }
    EXPECT_EQ(tags_in_file(path), expected);
}

}  // namespace vornmark
