#include "server/options.h"

#include <gtest/gtest.h>

namespace vornmark::server {

namespace {

ParsedOptions parse(std::vector<std::string> args) {
    return parse_options(args);
}

}  // namespace

TEST(ServerOptions, DefaultsNeedOnlyCertificateAndKey) {
    ParsedOptions parsed = parse({"--cert", "c.pem", "--key", "k.pem"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.host, "127.0.0.1");
    EXPECT_EQ(parsed.options.port, 8443);
    EXPECT_EQ(parsed.options.db_path, "leaderboard.db");
    EXPECT_EQ(parsed.options.cert_file, "c.pem");
    EXPECT_EQ(parsed.options.key_file, "k.pem");
    EXPECT_FALSE(parsed.options.plain_http);
    EXPECT_EQ(parsed.options.rate_limit, 30);
}

TEST(ServerOptions, ReadsEveryFlagInBothSpellings) {
    ParsedOptions parsed =
        parse({"--listen=0.0.0.0:9000", "--db", "/tmp/x.db", "--http", "--rate-limit=5", "--max-connections",
               "50", "--connections-per-address=7", "--trust-forwarded-for"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.trust_forwarded_for);
    EXPECT_EQ(parsed.options.max_connections, 50);
    EXPECT_EQ(parsed.options.connections_per_address, 7);
    EXPECT_EQ(parsed.options.host, "0.0.0.0");
    EXPECT_EQ(parsed.options.port, 9000);
    EXPECT_EQ(parsed.options.db_path, "/tmp/x.db");
    EXPECT_TRUE(parsed.options.plain_http);
    EXPECT_EQ(parsed.options.rate_limit, 5);

    parsed = parse({"--http", "--listen", "[::1]:0"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.host, "::1");
    EXPECT_EQ(parsed.options.port, 0);
}

TEST(ServerOptions, HelpNeedsNothingElse) {
    ParsedOptions parsed = parse({"--help"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.show_help);
}

TEST(ServerOptions, BadFlagsAreNamed) {
    struct Case {
        std::vector<std::string> args;
        std::string names;
    };
    const Case cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"--http", "extra"}, "extra"},
        {{"--http", "--listen"}, "--listen"},
        {{"--http", "--listen", "localhost"}, "--listen"},
        {{"--http", "--listen", "localhost:65536"}, "--listen"},
        {{"--http", "--listen", ":80"}, "--listen"},
        {{"--http", "--listen", "::1:80"}, "--listen"},
        {{"--http", "--listen", "host:8x"}, "--listen"},
        {{"--http", "--rate-limit", "0"}, "--rate-limit"},
        {{"--http", "--rate-limit", "-3"}, "--rate-limit"},
        {{"--http", "--rate-limit", "ten"}, "--rate-limit"},
        {{"--http", "--db="}, "--db"},
        {{"--http", "--max-connections", "0"}, "--max-connections"},
        {{"--http", "--connections-per-address", "many"}, "--connections-per-address"},
        {{"--http=yes"}, "--http"},
        {{"--cert", "c.pem"}, "--key"},
        {{"--key", "k.pem"}, "--cert"},
        {{"--http", "--cert", "c.pem", "--key", "k.pem"}, "--http"},
    };
    for (const Case& c : cases) {
        ParsedOptions parsed = parse(c.args);
        EXPECT_NE(parsed.error.find(c.names), std::string::npos)
            << "args[0]=" << c.args[0] << " error=" << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(ServerOptions, ImportNeedsAPostgresTargetButNoCertificate) {
    ParsedOptions parsed = parse({"--db", "postgresql://u@h/db", "--import-sqlite", "old.db"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.import_sqlite, "old.db");
    EXPECT_NE(parse({"--import-sqlite", "old.db"}).error.find("postgresql://"), std::string::npos);
}

}  // namespace vornmark::server
