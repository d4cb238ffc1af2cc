#include "history/history_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "history/history_report.h"
#include "history/replace_file.h"
#include "history/utf8_path.h"
#include "tests/history/test_files.h"
#include "tests/support/sample_records.h"

namespace vornmark {

namespace {

// Loads `text` written as the history file of a fresh store.
HistoryStore load_text(const TempDir& dir, const std::string& text) {
    write_text(dir.file("history.json"), text);
    HistoryStore store(dir.file("history.json"));
    store.load();
    return store;
}

std::vector<std::string> unreadable_copies(const TempDir& dir) {
    std::vector<std::string> names;
    for (const std::string& name : names_in(dir.path())) {
        if (name.rfind("history.json.unreadable-", 0) == 0) names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(HistoryStoreLoad, MissingFileGivesEmptyHistory) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    EXPECT_TRUE(store.entries().empty());
    EXPECT_EQ(store.path(), dir.file("history.json"));
}

TEST(HistoryStoreLoad, RootsWithoutRunsArrayGiveEmptyHistory) {
    TempDir dir;
    for (const char* text : {"[1, 2]", "{}", "{\"runs\": 5}", "{\"runs\": {}}", "\"runs\"", "null"}) {
        EXPECT_TRUE(load_text(dir, text).entries().empty()) << text;
    }
}

TEST(HistoryStoreLoad, MissingMembersTakeDefaults) {
    TempDir dir;
    const HistoryStore store = load_text(dir, R"({"runs": [{"type": "single", "score": 5}]})");
    ASSERT_EQ(store.entries().size(), 1u);
    const HistoryEntry& entry = store.entries()[0];
    EXPECT_EQ(entry.cpu, "");
    EXPECT_EQ(entry.date, "");
    EXPECT_EQ(entry.type, "single");
    EXPECT_EQ(entry.score, 5);
    EXPECT_EQ(entry.time_seconds, 0.0);
    EXPECT_EQ(entry.threads, 0);
    EXPECT_EQ(entry.resolution_w, 1920);
    EXPECT_EQ(entry.resolution_h, 1080);
    EXPECT_EQ(entry.samples, 128);
}

TEST(HistoryStoreLoad, IntegerFieldsTruncateFractionsAndAcceptBooleans) {
    TempDir dir;
    const HistoryStore store =
        load_text(dir, R"({"runs": [{"score": 1234.9, "threads": true, "samples": false, "resolution_w": -7.9,
                 "resolution_h": 1e3, "time_seconds": 7}]})");
    ASSERT_EQ(store.entries().size(), 1u);
    const HistoryEntry& entry = store.entries()[0];
    EXPECT_EQ(entry.score, 1234);
    EXPECT_EQ(entry.threads, 1);
    EXPECT_EQ(entry.samples, 0);
    EXPECT_EQ(entry.resolution_w, -7);
    EXPECT_EQ(entry.resolution_h, 1000);
    EXPECT_EQ(entry.time_seconds, 7.0);
}

TEST(HistoryStoreLoad, AnyWrongKindEmptiesTheWholeHistory) {
    TempDir dir;
    const std::string good = R"({"type": "single", "score": 100})";
    ASSERT_EQ(load_text(dir, "{\"runs\": [" + good + ", " + good + "]}").entries().size(), 2u);
    for (const char* bad :
         {R"({"time_seconds": true})", R"({"score": "100"})", R"({"cpu": 5})", R"({"date": null})",
          R"({"threads": null})", R"({"samples": [1]})", R"({"type": {}})", R"("not an object")",
          R"({"score": 3e9})", R"({"score": -2147483649})", R"({"threads": 18446744073709551615})"}) {
        const HistoryStore store = load_text(dir, "{\"runs\": [" + good + ", " + bad + ", " + good + "]}");
        EXPECT_TRUE(store.entries().empty()) << bad;
    }
}

TEST(HistoryStoreLoad, IntegerLimitsStillLoad) {
    TempDir dir;
    const HistoryStore store = load_text(
        dir, R"({"runs": [{"score": 2147483647, "threads": -2147483648, "samples": 2147483647.99}]})");
    ASSERT_EQ(store.entries().size(), 1u);
    EXPECT_EQ(store.entries()[0].score, 2147483647);
    EXPECT_EQ(store.entries()[0].threads, -2147483647 - 1);
    EXPECT_EQ(store.entries()[0].samples, 2147483647);
}

TEST(HistoryStoreLoad, InvalidTextGivesEmptyHistory) {
    TempDir dir;
    for (const std::string& text :
         {std::string(""), std::string("{\"runs\": ["), std::string("// c\n{\"runs\": []}"),
          std::string("{\"runs\": [{\"cpu\": \"\xC3\"}]}")}) {
        EXPECT_TRUE(load_text(dir, text).entries().empty()) << text;
    }
}

TEST(HistoryStoreLoad, TextAfterTheFirstValueIsIgnored) {
    TempDir dir;
    const HistoryStore store = load_text(dir, "{\"runs\": [{\"score\": 42}]} trailing {garbage");
    ASSERT_EQ(store.entries().size(), 1u);
    EXPECT_EQ(store.entries()[0].score, 42);
}

TEST(HistoryStoreLoad, OrderAndDuplicatesAreKept) {
    TempDir dir;
    const HistoryStore store = load_text(dir, "\xEF\xBB\xBF{\"other\": 1, \"runs\": [{\"score\": 3, "
                                              "\"date\": \"d\"}, {\"score\": 1, \"date\": \"d\"},"
                                              " {\"score\": 2, \"extra\": [1]}]}\r\n");
    ASSERT_EQ(store.entries().size(), 3u);
    EXPECT_EQ(store.entries()[0].score, 3);
    EXPECT_EQ(store.entries()[1].score, 1);
    EXPECT_EQ(store.entries()[2].score, 2);
}

TEST(HistoryStoreLoad, EmptyRunsArrayGivesEmptyHistory) {
    TempDir dir;
    EXPECT_TRUE(load_text(dir, R"({"runs": []})").entries().empty());
}

TEST(HistoryStoreSave, WritesTheExactFormat) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    HistoryEntry entry = sample_run("multi", 9720, 12.0);
    entry.cpu = "Ryzen \"7\" \xC3\xA9";
    store.append(entry);
    store.append(sample_run("single", 1000, 12.345678901000001));
    EXPECT_EQ(read_text(store.path()), text_file_content("{\n"
                                                         "  \"runs\": [\n"
                                                         "    {\n"
                                                         "      \"cpu\": \"Ryzen \\\"7\\\" \xC3\xA9\",\n"
                                                         "      \"date\": \"2026-04-18T07:40:53\",\n"
                                                         "      \"resolution_h\": 1080,\n"
                                                         "      \"resolution_w\": 1920,\n"
                                                         "      \"samples\": 128,\n"
                                                         "      \"score\": 9720,\n"
                                                         "      \"threads\": 8,\n"
                                                         "      \"time_seconds\": 12.0,\n"
                                                         "      \"type\": \"multi\"\n"
                                                         "    },\n"
                                                         "    {\n"
                                                         "      \"cpu\": \"Test CPU\",\n"
                                                         "      \"date\": \"2026-04-18T07:40:53\",\n"
                                                         "      \"resolution_h\": 1080,\n"
                                                         "      \"resolution_w\": 1920,\n"
                                                         "      \"samples\": 128,\n"
                                                         "      \"score\": 1000,\n"
                                                         "      \"threads\": 1,\n"
                                                         "      \"time_seconds\": 12.345678901000001,\n"
                                                         "      \"type\": \"single\"\n"
                                                         "    }\n"
                                                         "  ]\n"
                                                         "}"));
}

TEST(HistoryStoreSave, SavedHistoryReloadsEqual) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    HistoryEntry odd = sample_run("single", -5, 0.1);
    odd.resolution_w = 64;
    odd.samples = 1;
    store.append(odd);
    store.append(sample_run("multi", 2000, 60.0));
    store.append(sample_run("multi", 2000, 60.0));

    HistoryStore reloaded(dir.file("history.json"));
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), store.entries());
}

TEST(HistoryStoreSave, InvalidUtf8InANameStillSaves) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    HistoryEntry entry = sample_run("single", 7);
    entry.cpu = "bad \xFF byte";
    store.append(entry);

    HistoryStore reloaded(dir.file("history.json"));
    reloaded.load();
    ASSERT_EQ(reloaded.entries().size(), 1u);
    EXPECT_EQ(reloaded.entries()[0].score, 7);
}

TEST(HistoryStoreSave, EmptyHistoryIsAnEmptyRunsArray) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    store.save();
    EXPECT_EQ(read_text(store.path()), text_file_content("{\n  \"runs\": []\n}"));
}

TEST(HistoryStoreSave, CreatesTheMissingDirectory) {
    TempDir dir;
    HistoryStore store(dir.file("data/vornmark/history.json"));
    store.load();
    store.append(sample_run("single", 1));
    EXPECT_NE(read_text(store.path()).find("\"score\": 1,"), std::string::npos);
}

TEST(HistoryStoreRemove, DeletesByIndexAndSaves) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    store.append(sample_run("single", 1));
    store.append(sample_run("single", 2));
    store.append(sample_run("single", 3));
    store.remove(1);
    ASSERT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(store.entries()[0].score, 1);
    EXPECT_EQ(store.entries()[1].score, 3);

    HistoryStore reloaded(dir.file("history.json"));
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), store.entries());
}

TEST(HistoryStoreRemove, DeletingTheOnlyEntryLeavesEmptyRuns) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    store.append(sample_run("multi", 5));
    store.remove(0);
    EXPECT_EQ(read_text(store.path()), text_file_content("{\n  \"runs\": []\n}"));
    HistoryStore reloaded(dir.file("history.json"));
    reloaded.load();
    EXPECT_TRUE(reloaded.entries().empty());
}

TEST(HistoryStoreRemove, IndexOutOfRangeSavesNothing) {
    TempDir dir;
    const std::string text = R"({"runs":[{"score":1},{"score":2}]} stray)";
    HistoryStore store = load_text(dir, text);
    store.remove(2);
    store.remove(static_cast<std::size_t>(-1));
    EXPECT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(read_text(store.path()), text);
}

TEST(HistoryStoreBestScore, ExactTypeOnlyAndNeverBelowZero) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    EXPECT_EQ(store.best_score(RunKind::Single), 0);
    store.append(sample_run("single", 900));
    store.append(sample_run("single", 1200));
    store.append(sample_run("Single", 5000));
    store.append(sample_run("single ", 6000));
    store.append(sample_run("multi", -40));
    store.append(sample_run("SINGLE", 7000));
    store.append(sample_run("", 8000));
    EXPECT_EQ(store.best_score(RunKind::Single), 1200);
    EXPECT_EQ(store.best_score(RunKind::Multi), 0);
}

TEST(HistoryStoreUnreadableFile, IsKeptAsideAtLoadAndNamed) {
    TempDir dir;
    const std::string broken = R"({"runs": [{"score": 100}, {"score": "lots"}]})";
    HistoryStore store = load_text(dir, broken);
    EXPECT_TRUE(store.entries().empty());
    ASSERT_TRUE(store.last_load().failed);
    EXPECT_FALSE(store.last_load().reason.empty());
    const auto copies = unreadable_copies(dir);
    ASSERT_EQ(copies.size(), 1u);
    // history.json.unreadable-YYYYMMDD-HHMMSS
    EXPECT_EQ(copies[0].size(), std::string("history.json.unreadable-").size() + 15);
    EXPECT_EQ(store.last_load().kept_aside, dir.file(copies[0]));
    EXPECT_EQ(read_text(dir.file(copies[0])), broken);
    EXPECT_EQ(read_text(store.path()), broken) << "the file itself stays until the next change";

    HistoryStore again(store.path());
    again.load();
    EXPECT_EQ(again.last_load().kept_aside, dir.file(copies[0])) << "the same bytes are not copied twice";

    store.append(sample_run("single", 777));
    EXPECT_TRUE(store.last_save().saved);
    EXPECT_EQ(unreadable_copies(dir).size(), 1u);
    HistoryStore reloaded(store.path());
    reloaded.load();
    EXPECT_FALSE(reloaded.last_load().failed);
    ASSERT_EQ(reloaded.entries().size(), 1u);
    EXPECT_EQ(reloaded.entries()[0].score, 777);
}

TEST(HistoryStoreUnreadableFile, FileWithoutRunsIsKeptToo) {
    TempDir dir;
    HistoryStore store = load_text(dir, R"({"Runs": [{"score": 1}]})");
    EXPECT_TRUE(store.last_load().failed);
    store.append(sample_run("multi", 3));
    EXPECT_EQ(unreadable_copies(dir).size(), 1u);
}

TEST(HistoryStoreUnreadableFile, ReadableOrMissingFilesAreNotKept) {
    TempDir dir;
    HistoryStore missing(dir.file("history.json"));
    missing.load();
    EXPECT_FALSE(missing.last_load().failed);
    missing.append(sample_run("single", 1));
    HistoryStore readable(dir.file("history.json"));
    readable.load();
    EXPECT_FALSE(readable.last_load().failed);
    readable.append(sample_run("single", 2));
    EXPECT_TRUE(unreadable_copies(dir).empty());
    EXPECT_EQ(readable.entries().size(), 2u);
}

TEST(HistoryStoreUnreadableFile, FileBrokenAfterTheLoadIsKeptBeforeItIsReplaced) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    store.append(sample_run("single", 1));
    write_text(store.path(), "{\"runs\": [");
    store.append(sample_run("single", 2));
    ASSERT_EQ(unreadable_copies(dir).size(), 1u);
    EXPECT_EQ(store.last_save().kept_aside, dir.file(unreadable_copies(dir)[0]));
    EXPECT_EQ(store.entries().size(), 2u) << "this process's runs are written anew";
    // The window's notice names the copy and the file, the file's path once.
    const std::string notice = history_notice(store);
    EXPECT_NE(notice.find(" as " + unreadable_copies(dir)[0] + ";"), std::string::npos) << notice;
    EXPECT_EQ(notice.find(store.path()), notice.rfind(store.path())) << notice;
}

TEST(HistoryStoreChange, StoreThatNeverLoadedAppendsToWhatTheFileHolds) {
    TempDir dir;
    write_text(dir.file("history.json"), R"({"runs": [{"score": 1}]})");
    HistoryStore store(dir.file("history.json"));
    store.append(sample_run("single", 2));
    ASSERT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(store.entries()[0].score, 1);
    EXPECT_TRUE(unreadable_copies(dir).empty());
}

TEST(HistoryStoreChange, SymlinkedFileIsWrittenThroughToItsTarget) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    write_text(dir.file("real/history.json"), R"({"runs": [{"score": 1}]})");
    std::filesystem::create_symlink("real/history.json", dir.path() / "history.json");
    // A link whose target does not exist yet gets the target created.
    std::filesystem::create_symlink("real/new.json", dir.path() / "dangling.json");

    HistoryStore linked(dir.file("history.json"));
    linked.load();
    linked.append(sample_run("single", 2));
    HistoryStore dangling(dir.file("dangling.json"));
    dangling.load();
    dangling.append(sample_run("single", 3));

    for (const char* link : {"history.json", "dangling.json"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / link)) << link;
    }
    HistoryStore real(dir.file("real/history.json"));
    real.load();
    EXPECT_EQ(real.entries().size(), 2u);
    EXPECT_NE(read_text(dir.file("real/new.json")).find("\"score\": 3"), std::string::npos);
}

TEST(HistoryStoreChange, UnwritablePlacesKeepTheOldFileAndSayWhy) {
    struct Case {
        const char* name;
        void (*prepare)(const TempDir&);
        const char* path;
        const char* reason_part;
    };
    const Case cases[] = {
        {"read-only file",
         [](const TempDir& d) {
             write_text(d.file("history.json"), R"({"runs": [{"score": 11}]})");
             std::filesystem::permissions(d.file("history.json"), std::filesystem::perms::owner_read |
                                                                      std::filesystem::perms::group_read);
         },
         "history.json", "read-only"},
        {"directory in its place",
         [](const TempDir& d) { std::filesystem::create_directory(d.file("history.json")); }, "history.json",
         "directory"},
        {"no folder can be made for it",
         [](const TempDir& d) { write_text(d.file("data"), "a file, not a folder"); },
         "data/vornmark/history.json", "cannot create the folder"},
        {"no room for a temporary name beside it", [](const TempDir&) {}, nullptr, "cannot create a file"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        c.prepare(dir);
        // NAME_MAX is 255: the lock file still fits, a temporary name does not.
        const std::string path = c.path ? dir.file(c.path) : dir.file(std::string(250, 'h'));
        const auto before = names_in(dir.path());
        const bool file = std::filesystem::is_regular_file(path);
        const std::string old_text = file ? read_text(path) : "";

        HistoryStore store(path);
        store.load();
        store.append(sample_run("single", 12));
        EXPECT_FALSE(store.last_save().saved) << c.name;
        EXPECT_NE(store.last_save().reason.find(c.reason_part), std::string::npos)
            << c.name << ": " << store.last_save().reason;
        EXPECT_EQ(store.last_save().change, HistoryChange::Append);
        // The message names the file once, whether or not the reason does.
        const std::string message = history_change_problem(store);
        std::size_t named = 0;
        for (std::size_t at = message.find(path); at != std::string::npos; at = message.find(path, at + 1))
            ++named;
        EXPECT_EQ(named, 1u) << c.name << ": " << message;
        EXPECT_EQ(std::count_if(store.entries().begin(), store.entries().end(),
                                [](const HistoryEntry& e) { return e.score == 12; }),
                  0)
            << c.name << ": a run that was not written is not kept";
        EXPECT_EQ(std::filesystem::is_regular_file(path), file) << c.name;
        if (file) {
            EXPECT_EQ(read_text(path), old_text) << c.name;
        }
        for (const std::string& name : names_in(dir.path())) {
            const bool lock = name.size() > 5 && name.compare(name.size() - 5, 5, ".lock") == 0;
            EXPECT_TRUE(lock || std::count(before.begin(), before.end(), name))
                << c.name << ": left " << name;
        }
    }
}

TEST(HistoryStoreLoad, DirectoryInItsPlaceIsAFailedLoadNotACrash) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("history.json"));
    HistoryStore store(dir.file("history.json"));
    store.load();
    EXPECT_TRUE(store.entries().empty());
    EXPECT_TRUE(store.last_load().failed);
    EXPECT_NE(store.last_load().reason.find("directory"), std::string::npos);
    EXPECT_TRUE(store.last_load().kept_aside.empty());
}

// A change that finds the file unreadable, or cannot take the lock, leaves the list showing what the
// file holds now, not the runs read before.
TEST(HistoryStoreChange, FailedChangeListsWhatIsOnDiskNotWhatWasReadBefore) {
    TempDir dir;
    const std::string path = dir.file("history.json");
    HistoryStore store(path);
    store.append(sample_run("single", 1));
    ASSERT_EQ(store.entries().size(), 1u);

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    store.append(sample_run("multi", 2));
    EXPECT_FALSE(store.last_save().saved);
    EXPECT_TRUE(store.entries().empty()) << "nothing can be read in a directory's place";

    // The file back, another process's run in it, and no lock to be had: listed as it is on disk.
    std::filesystem::remove(path);
    HistoryStore other(path);
    other.append(sample_run("single", 3));
    std::filesystem::remove(path + ".lock");
    std::filesystem::create_directory(path + ".lock");
    store.append(sample_run("multi", 4));
    EXPECT_FALSE(store.last_save().saved);
    ASSERT_EQ(store.entries().size(), 1u);
    EXPECT_EQ(store.entries()[0].score, 3);
}

TEST(HistoryStoreChange, AnyFolderNameHoldsTheFileItsLockAndItsKeptCopy) {
    TempDir dir;
    const std::string folder = dir.file("Jürgen ベンチ");
    const std::string path = utf8_from_path(path_from_utf8(folder) / "history.json");
    HistoryStore store(path);
    store.load();
    store.append(sample_run("single", 1));
    EXPECT_TRUE(store.last_save().saved) << store.last_save().reason;

    write_text(path, "{\"runs\": [");
    HistoryStore again(path);
    again.load();
    EXPECT_TRUE(again.last_load().failed);
    again.append(sample_run("single", 2));
    EXPECT_TRUE(again.last_save().saved) << again.last_save().reason;

    HistoryStore reloaded(path);
    reloaded.load();
    ASSERT_EQ(reloaded.entries().size(), 1u) << reloaded.last_load().reason;
    EXPECT_EQ(reloaded.entries()[0].score, 2);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"Jürgen ベンチ"})
        << "no look-alike folder beside it";
    std::vector<std::string> names = names_in(path_from_utf8(folder));
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "history.json");
    EXPECT_EQ(names[1], "history.json.lock");
    EXPECT_EQ(utf8_from_path(path_from_utf8(again.last_load().kept_aside).filename()), names[2]);
}

}  // namespace vornmark
