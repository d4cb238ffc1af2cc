#include "history/history_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/history/test_files.h"

namespace {

HistoryEntry make_entry(std::string type, std::int32_t score, double seconds = 10.0) {
    HistoryEntry entry;
    entry.date = "2026-04-18T07:40:53";
    entry.cpu = "Test CPU";
    entry.type = std::move(type);
    entry.score = score;
    entry.time_seconds = seconds;
    entry.threads = entry.type == "single" ? 1 : 8;
    return entry;
}

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
    HistoryEntry entry = make_entry("multi", 9720, 12.0);
    entry.cpu = "Ryzen \"7\" \xC3\xA9";
    store.append(entry);
    store.append(make_entry("single", 1000, 12.345678901000001));
    EXPECT_EQ(read_text(store.path()), "{\n"
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
                                       "}");
}

TEST(HistoryStoreSave, SavedHistoryReloadsEqual) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    HistoryEntry odd = make_entry("single", -5, 0.1);
    odd.resolution_w = 64;
    odd.samples = 1;
    store.append(odd);
    store.append(make_entry("multi", 2000, 60.0));
    store.append(make_entry("multi", 2000, 60.0));

    HistoryStore reloaded(dir.file("history.json"));
    reloaded.load();
    EXPECT_EQ(reloaded.entries(), store.entries());
}

TEST(HistoryStoreSave, InvalidUtf8InANameStillSaves) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    HistoryEntry entry = make_entry("single", 7);
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
    EXPECT_EQ(read_text(store.path()), "{\n  \"runs\": []\n}");
}

TEST(HistoryStoreSave, CreatesTheMissingDirectory) {
    TempDir dir;
    HistoryStore store(dir.file("data/vornmark/history.json"));
    store.load();
    store.append(make_entry("single", 1));
    EXPECT_NE(read_text(store.path()).find("\"score\": 1,"), std::string::npos);
}

TEST(HistoryStoreRemove, DeletesByIndexAndSaves) {
    TempDir dir;
    HistoryStore store(dir.file("history.json"));
    store.load();
    store.append(make_entry("single", 1));
    store.append(make_entry("single", 2));
    store.append(make_entry("single", 3));
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
    store.append(make_entry("multi", 5));
    store.remove(0);
    EXPECT_EQ(read_text(store.path()), "{\n  \"runs\": []\n}");
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
    EXPECT_EQ(store.best_score("single"), 0);
    store.append(make_entry("single", 900));
    store.append(make_entry("single", 1200));
    store.append(make_entry("Single", 5000));
    store.append(make_entry("single ", 6000));
    store.append(make_entry("multi", -40));
    EXPECT_EQ(store.best_score("single"), 1200);
    EXPECT_EQ(store.best_score("multi"), 0);
    EXPECT_EQ(store.best_score("SINGLE"), 0);
    EXPECT_EQ(store.best_score(""), 0);
}

TEST(HistoryStoreUnreadableFile, IsKeptAsideBeforeTheFirstSave) {
    TempDir dir;
    const std::string broken = R"({"runs": [{"score": 100}, {"score": "lots"}]})";
    HistoryStore store = load_text(dir, broken);
    EXPECT_TRUE(store.entries().empty());
    EXPECT_TRUE(unreadable_copies(dir).empty()) << "loading alone changes nothing on disk";
    EXPECT_EQ(read_text(store.path()), broken);

    store.append(make_entry("single", 777));
    const auto copies = unreadable_copies(dir);
    ASSERT_EQ(copies.size(), 1u);
    // history.json.unreadable-YYYYMMDD-HHMMSS
    EXPECT_EQ(copies[0].size(), std::string("history.json.unreadable-").size() + 15);
    EXPECT_EQ(read_text(dir.file(copies[0])), broken);

    HistoryStore reloaded(store.path());
    reloaded.load();
    ASSERT_EQ(reloaded.entries().size(), 1u);
    EXPECT_EQ(reloaded.entries()[0].score, 777);

    store.append(make_entry("single", 778));
    EXPECT_EQ(unreadable_copies(dir).size(), 1u) << "only the first save keeps the old file";
}

TEST(HistoryStoreUnreadableFile, FileWithoutRunsIsKeptToo) {
    TempDir dir;
    HistoryStore store = load_text(dir, R"({"Runs": [{"score": 1}]})");
    store.append(make_entry("multi", 3));
    EXPECT_EQ(unreadable_copies(dir).size(), 1u);
}

TEST(HistoryStoreUnreadableFile, ReadableOrMissingFilesAreNotKept) {
    TempDir dir;
    HistoryStore missing(dir.file("history.json"));
    missing.load();
    missing.append(make_entry("single", 1));
    HistoryStore readable(dir.file("history.json"));
    readable.load();
    readable.append(make_entry("single", 2));
    EXPECT_TRUE(unreadable_copies(dir).empty());
    EXPECT_EQ(readable.entries().size(), 2u);
}

TEST(HistoryStoreUnreadableFile, StoreThatNeverLoadedKeepsTheExistingFile) {
    TempDir dir;
    const std::string existing = R"({"runs": [{"score": 1}]})";
    write_text(dir.file("history.json"), existing);
    HistoryStore store(dir.file("history.json"));
    store.append(make_entry("single", 2));
    const auto copies = unreadable_copies(dir);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(read_text(dir.file(copies[0])), existing);
}

TEST(HistoryStoreSave, FailedSaveKeepsTheOldFileAndTheListChange) {
    TempDir dir;
    // A file name that leaves no room for a temporary name beside it (NAME_MAX is 255).
    const std::string path = dir.file(std::string(250, 'h'));
    HistoryStore first(path);
    first.load();
    first.save();  // fails as well: nothing there yet
    EXPECT_FALSE(std::filesystem::exists(path));

    const std::string old_text = R"({"runs": [{"score": 11}]})";
    write_text(path, old_text);
    HistoryStore store(path);
    store.load();
    store.append(make_entry("single", 12));
    EXPECT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(read_text(path), old_text);
    EXPECT_EQ(names_in(dir.path()).size(), 1u);
}
