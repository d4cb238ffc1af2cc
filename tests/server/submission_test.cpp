#include "server/submission.h"

#include <gtest/gtest.h>

namespace vornmark::server {

namespace {

nlohmann::json valid_body() {
    return {{"cpu_name", "AMD Ryzen 9 7950X 16-Core Processor"},
            {"score", 4321},
            {"threads", 1},
            {"type", "single"}};
}

std::string error_for(const nlohmann::json& body) {
    return check_submission(body).error;
}

bool mentions(const std::string& error, const std::string& word) {
    return error.find(word) != std::string::npos;
}

}  // namespace

TEST(Submission, AcceptsTheClientsCompactBody) {
    SubmissionCheck check =
        parse_submission(R"({"cpu_name":"Intel(R) Core(TM) i7","score":987,"threads":16,"type":"multi"})");
    ASSERT_TRUE(check.ok()) << check.error;
    EXPECT_EQ(check.submission.cpu_name, "Intel(R) Core(TM) i7");
    EXPECT_EQ(check.submission.score, 987);
    EXPECT_EQ(check.submission.threads, 16);
    EXPECT_EQ(check.submission.type, "multi");
}

TEST(Submission, RefusesBodiesThatAreNotJsonObjects) {
    EXPECT_TRUE(mentions(parse_submission("").error, "not valid JSON"));
    EXPECT_TRUE(mentions(parse_submission("hello").error, "not valid JSON"));
    EXPECT_TRUE(mentions(parse_submission(R"({"score":1} trailing)").error, "not valid JSON"));
    EXPECT_TRUE(mentions(parse_submission("[1,2]").error, "JSON object"));
    EXPECT_TRUE(mentions(parse_submission("null").error, "JSON object"));
    // The JSON parser itself refuses invalid UTF-8 inside strings.
    EXPECT_FALSE(
        parse_submission("{\"cpu_name\":\"\xC3\x28\",\"score\":1,\"threads\":1,\"type\":\"single\"}").ok());
}

TEST(Submission, NamesEachMissingMember) {
    for (const char* key : {"cpu_name", "score", "threads", "type"}) {
        nlohmann::json body = valid_body();
        body.erase(key);
        std::string error = error_for(body);
        EXPECT_TRUE(mentions(error, "missing")) << error;
        EXPECT_TRUE(mentions(error, key)) << error;
    }
}

TEST(Submission, IntegersMustBeJsonIntegers) {
    for (const char* key : {"score", "threads"}) {
        for (const nlohmann::json& wrong :
             {nlohmann::json(5.0), nlohmann::json(2.5), nlohmann::json(true), nlohmann::json("7"),
              nlohmann::json(nullptr), nlohmann::json::array(), nlohmann::json(1e30)}) {
            nlohmann::json body = valid_body();
            body[key] = wrong;
            std::string error = error_for(body);
            EXPECT_TRUE(mentions(error, key)) << key << " = " << wrong.dump() << ": " << error;
            EXPECT_TRUE(mentions(error, "integer")) << key << " = " << wrong.dump() << ": " << error;
        }
    }
    // A float written in the text stays a float.
    EXPECT_TRUE(mentions(
        parse_submission(R"({"cpu_name":"x","score":100.0,"threads":1,"type":"single"})").error, "integer"));
}

TEST(Submission, IntegersMustBeInRange) {
    struct Case {
        const char* key;
        nlohmann::json value;
        bool ok;
    };
    const Case cases[] = {
        {"score", 0, false},
        {"score", -5, false},
        {"score", 1, true},
        {"score", max_score, true},
        {"score", max_score + 1, false},
        {"score", std::uint64_t{1} << 63, false},
        {"threads", 0, false},
        {"threads", 4096, true},
        {"threads", 4097, false},
        {"threads", std::int64_t{1} << 40, false},
    };
    for (const Case& c : cases) {
        nlohmann::json body = valid_body();
        body[c.key] = c.value;
        if (std::string(c.key) == "threads") body["type"] = c.value == 1 ? "single" : "multi";
        SubmissionCheck check = check_submission(body);
        EXPECT_EQ(check.ok(), c.ok) << c.key << " = " << c.value.dump() << ": " << check.error;
        if (!c.ok) {
            EXPECT_TRUE(mentions(check.error, c.key));
        }
    }
}

TEST(Submission, CpuNameMustBeAShortPrintableString) {
    auto error_with_name = [](const nlohmann::json& name) {
        nlohmann::json body = valid_body();
        body["cpu_name"] = name;
        return error_for(body);
    };
    EXPECT_TRUE(mentions(error_with_name(42), "string"));
    EXPECT_TRUE(mentions(error_with_name(nullptr), "string"));
    EXPECT_TRUE(mentions(error_with_name(""), "empty"));
    EXPECT_EQ(error_with_name(std::string(128, 'a')), "");
    EXPECT_TRUE(mentions(error_with_name(std::string(129, 'a')), "128"));
    // 64 two-byte characters are 128 bytes; one more is over the limit in bytes, not characters.
    std::string umlauts;
    for (int i = 0; i < 64; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(error_with_name(umlauts), "");
    EXPECT_TRUE(mentions(error_with_name(umlauts + "\xC3\xBC"), "128"));
    // Measured after normalising: 32 musical symbols U+1D160 are 128 bytes sent, 384 in NFC.
    std::string notes;
    for (int i = 0; i < 32; ++i) notes += "\xF0\x9D\x85\xA0";
    EXPECT_TRUE(mentions(error_with_name(notes), "128"));
    // Padding that normalising removes does not count.
    EXPECT_EQ(error_with_name("  " + std::string(128, 'a') + "  "), "");

    for (const std::string& controlled :
         {std::string("Core\ni7"), std::string("Core\ti7"), std::string("a\x7F"), std::string("nul\0x", 5),
          std::string("c1 \xC2\x85")}) {
        EXPECT_TRUE(mentions(error_with_name(controlled), "control")) << nlohmann::json(controlled).dump();
    }
    EXPECT_EQ(error_with_name("Intel\xC2\xAE Core\xE2\x84\xA2"), "");

    // Built in memory (the parser would already refuse these texts).
    for (const std::string& broken :
         {std::string("\xC3\x28"), std::string("\xC0\xAF"), std::string("\xED\xA0\x80"),
          std::string("\xF4\x90\x80\x80"), std::string("abc\xE2\x82"), std::string("\xFF")}) {
        nlohmann::json body = valid_body();
        body["cpu_name"] = broken;
        EXPECT_TRUE(mentions(error_for(body), "UTF-8")) << error_for(body);
    }
}

TEST(Submission, TypeMustMatchTheThreadCount) {
    auto check = [](nlohmann::json type, int threads) {
        nlohmann::json body = valid_body();
        body["type"] = type;
        body["threads"] = threads;
        return check_submission(body);
    };
    EXPECT_TRUE(check("single", 1).ok());
    EXPECT_TRUE(check("multi", 2).ok());
    EXPECT_TRUE(mentions(check("multi", 1).error, "single"));
    EXPECT_TRUE(mentions(check("single", 8).error, "threads"));
    EXPECT_TRUE(mentions(check("Single", 1).error, "type"));
    EXPECT_TRUE(mentions(check("both", 4).error, "type"));
    EXPECT_TRUE(mentions(check(1, 1).error, "type"));
}

TEST(Submission, CpuNameMustShowSomethingAndHideNothing) {
    struct Case {
        std::string name;
        const char* rule;  // a word of the rule the reply names; empty when accepted
    };
    const Case cases[] = {
        {"AMD Ryzen 7", ""},
        {" Padded  name ", ""},
        {"\xE4\xB8\xAD\xE6\x96\x87 CPU", ""},              // CJK
        {"\xD7\xA2\xD7\x91\xD7\xA8\xD7\x99\xD7\xAA", ""},  // right-to-left script by itself
        {"e\xCC\x81", ""},                                 // combining accent on a letter
        {"Line\xE2\x80\xA8"
         "break",
         ""},  // a line separator is white space, made one space
        {" ", "visible"},
        {"   ", "visible"},
        {"\xC2\xA0\xE3\x80\x80", "visible"},  // no-break and ideographic spaces
        {"\xE2\xA0\x80", "visible"},          // Braille blank
        {"\xE3\x85\xA4", "show nothing"},     // Hangul filler
        {"Intel\xEF\xB8\x8F", "U+FE0F"},      // variation selector
        {"\xCC\x81", "combining mark"},       // a combining accent and nothing else
        {"\xCC\x81"
         "Cafe",
         "U+0301"},  // a name that starts with one
        {"AMD\xE2\x80\xAE"
         "X7",
         "format"},  // right-to-left override U+202E
        {"\xE2\x80\xAD"
         "Intel",
         "U+202D"},  // left-to-right override
        {"Intel\xE2\x81\xA6"
         "x\xE2\x81\xA9",
         "format"},  // isolates U+2066, U+2069
        {"Int\xE2\x80\x8B"
         "el",
         "U+200B"},  // zero-width space
        {"Int\xE2\x80\x8D"
         "el",
         "format"},  // zero-width joiner
        {"\xEF\xBB\xBF"
         "Intel",
         "U+FEFF"},                         // byte-order mark
        {"Intel\xC2\xAD", "format"},        // soft hyphen
        {"Tag\xF3\xA0\x80\x81", "format"},  // language tag U+E0001
        {"\xE2\x80\x8B", "format"},         // invisible only: the hidden character is named
    };
    for (const Case& c : cases) {
        nlohmann::json body = valid_body();
        body["cpu_name"] = c.name;
        std::string error = error_for(body);
        if (*c.rule == '\0') {
            EXPECT_EQ(error, "") << nlohmann::json(c.name).dump();
        } else {
            EXPECT_TRUE(mentions(error, "cpu_name") && mentions(error, c.rule))
                << nlohmann::json(c.name).dump() << ": " << error;
        }
    }
}

TEST(Submission, CpuNameIsTrimmedWithWhiteSpaceFoldedAndComposed) {
    const std::pair<std::string, std::string> cases[] = {
        {" Caf\xC3\xA9  CPU ", "Caf\xC3\xA9 CPU"},
        {"Cafe\xCC\x81 CPU", "Caf\xC3\xA9 CPU"},  // composed (NFC)
        {"\xC2\xA0"
         "Cafe\xE2\x80\x83\xE3\x80\x80"
         "CPU\xE2\x80\xA8",
         "Cafe CPU"},                // any Unicode space
        {"Ｃafe CPU", "Ｃafe CPU"},  // look-alikes are kept as sent
    };
    for (const auto& [sent, stored] : cases) {
        nlohmann::json body = valid_body();
        body["cpu_name"] = sent;
        SubmissionCheck check = check_submission(body);
        ASSERT_TRUE(check.ok()) << check.error;
        EXPECT_EQ(check.submission.cpu_name, stored) << nlohmann::json(sent).dump();
    }
}

TEST(Submission, RepeatedMembersAndBytesAfterTheObjectAreRefused) {
    const std::string body = R"({"cpu_name":"X","score":100,"threads":1,"type":"single"})";
    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {R"({"cpu_name":"X","score":100,"threads":1,"type":"single","score":5000000})", "\"score\""},
        {R"({"cpu_name":"X","score":100,"threads":1,"type":"single","extra":{"a":1,"a":2}})", "\"a\""},
        {body + std::string("\0garbage", 8), "not valid JSON"},
        {body + std::string(1, '\0'), "not valid JSON"},
        {body + "}", "not valid JSON"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(mentions(parse_submission(c.text).error, c.reason))
            << c.text << ": " << parse_submission(c.text).error;
    }
    // The same key in sibling objects is no repetition.
    EXPECT_TRUE(parse_submission(R"({"cpu_name":"X","score":100,"threads":1,"type":"single",)"
                                 R"("a":{"k":1},"b":{"k":2}})")
                    .ok());
}

}  // namespace vornmark::server
