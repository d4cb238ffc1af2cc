// The leaderboard's pages in a real browser: Debian's chromium, headless, against the real
// vornmark-leaderboard on loopback. One table of cases; each loads one page in a fresh profile and
// checks the DOM the browser built from it (--dump-dom), the console's lines (Content Security
// Policy violations are logged there) and, for screenshots, the picture's size.
//
// VORNMARK_PAGE_SCREENSHOTS=DIR also copies the screenshots there (the README shows those in
// docs/screenshots/).

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "server/cpu_name.h"
#include "server/html_text.h"
#include "tests/server/hostile_names.h"
#include "tests/server/test_http_client.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/temp_dir.h"

namespace vornmark::server {

namespace {

using namespace std::chrono_literals;

struct Run {
    std::string cpu;
    int score;
    int threads;
};

// A board as people would see it, for the known rows and the screenshots.
const std::vector<Run> known_runs = {
    {"AMD Ryzen 9 7950X 16-Core Processor", 412, 1},
    {"AMD Ryzen 9 7950X 16-Core Processor", 418, 1},
    {"Intel(R) Core(TM) i9-13900K", 431, 1},
    {"Intel(R) Core(TM) i5-12400", 322, 1},
    {"AMD EPYC 7763 64-Core Processor", 241, 1},
    {"Apple M2 Pro", 389, 1},
    {"AMD Ryzen 9 7950X 16-Core Processor", 6120, 32},
    {"AMD EPYC 7763 64-Core Processor", 14380, 128},
    {"Intel(R) Core(TM) i9-13900K", 5410, 32},
    {"Intel(R) Core(TM) i5-12400", 2210, 12},
    {"Apple M2 Pro", 3020, 12},
    {"AMD EPYC 7763 64-Core Processor", 139, 2},
};

void submit(const LeaderboardServerProcess& server, const std::string& cpu, int score, int threads) {
    TestRequest request;
    request.url = server.url() + "/api.php";
    request.ca_file = server.ca_file();
    request.method = "POST";
    request.headers = {"Content-Type: application/json"};
    request.body = nlohmann::json{{"cpu_name", cpu},
                                  {"score", score},
                                  {"threads", threads},
                                  {"type", threads == 1 ? "single" : "multi"}}
                       .dump();
    TestReply reply = send_request(request);
    ASSERT_EQ(reply.body, R"({"ok":true})") << cpu << ": " << reply.error;
}

// The two boards, started once for the whole table.
struct Boards {
    LeaderboardServerProcess known;
    LeaderboardServerProcess hostile;

    Boards() {
        for (const Run& run : known_runs) submit(known, run.cpu, run.score, run.threads);
        int score = 100;
        for (const std::string& name : hostile_names()) submit(hostile, name, score += 10, 1);
    }
};

Boards& boards() {
    static Boards shared;
    return shared;
}

// How the browser writes a text node back out: only &, <, > and the no-break space are escaped.
std::string as_dom_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

std::string processor_target(const std::string& type, const std::string& cpu) {
    return "/cpu?type=" + type + "&cpu=" + query_value(cpu);
}

struct PageLoad {
    std::string dom;      // what --dump-dom printed (stdout and stderr)
    std::string console;  // the browser's log, with the page's console lines
    int exit_code = -1;
};

// One page in a fresh headless chromium. `screenshot`: a PNG of the window instead of the DOM.
PageLoad load_page(const std::string& url, const std::string& screenshot = {}, const std::string& size = {},
                   bool dark = true) {
    TempDir profile;
    const std::string log = profile.file("console.log");
    std::vector<std::string> argv = {"chromium",
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-quic",
                                     "--no-first-run",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--ignore-certificate-errors",
                                     "--hide-scrollbars",
                                     "--user-data-dir=" + profile.file("profile"),
                                     "--enable-logging",
                                     "--log-file=" + log};
    // The theme is dark unless the system asks for light.
    if (dark) argv.push_back("--force-dark-mode");
    if (screenshot.empty()) {
        argv.push_back("--dump-dom");
    } else {
        argv.push_back("--window-size=" + size);
        argv.push_back("--screenshot=" + screenshot);
    }
    argv.push_back(url);
    PageLoad load;
    CommandResult result = run_command(argv, 90s);
    load.exit_code = result.exit_code;
    load.dom = std::move(result.output);
    std::ifstream in(log);
    load.console.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return load;
}

// Width and height from a PNG's header; {0, 0} when the file is no PNG.
std::pair<unsigned, unsigned> png_size(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[24] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (!in || std::string(reinterpret_cast<char*>(head), 8) != "\x89PNG\r\n\x1a\n") return {0, 0};
    auto word = [&](int at) {
        return unsigned(head[at]) << 24 | unsigned(head[at + 1]) << 16 | unsigned(head[at + 2]) << 8 |
               head[at + 3];
    };
    return {word(16), word(20)};
}

enum class Board { known, hostile, none };

struct PageCase {
    std::string name;
    Board board;
    std::string target;  // on the board; a whole URL when the board is none
    std::vector<std::string> dom_has;
    std::vector<std::string> dom_lacks;
    bool policy_violation = false;  // the control case: the console must show one
    std::string screenshot = {};    // file name of a screenshot taken instead of the DOM
    std::string size = {};          // its window size, "W,H"
    bool dark = true;               // a system that prefers a dark theme
};

std::vector<PageCase> page_cases() {
    std::vector<PageCase> cases;
    PageCase standings{"the standings show the known rows", Board::known, "/", {}, {"data-pwned"}};
    // The page's own sorting script ran, so the policy lets the page's script run.
    standings.dom_has = {"<th class=\"n sort\"", "<title>Vornmark leaderboard</title>"};
    for (const char* cpu :
         {"AMD Ryzen 9 7950X 16-Core Processor", "Intel(R) Core(TM) i9-13900K", "Apple M2 Pro"}) {
        standings.dom_has.push_back("<bdi>" + as_dom_text(cpu) + "</bdi>");
    }
    // Best first in each type: the 7950X's single-core average and the EPYC's multi-core one.
    standings.dom_has.push_back("<td>415</td><td>2</td>");
    standings.dom_has.push_back(
        "<td>1</td><td><a href=\"" +
        as_dom_text(processor_target("multi", "AMD EPYC 7763 64-Core Processor")) +
        "\"><bdi>AMD EPYC 7763 64-Core Processor</bdi></a></td><td>7259</td>");
    cases.push_back(standings);

    cases.push_back({"a processor's page shows its row",
                     Board::known,
                     processor_target("multi", "AMD EPYC 7763 64-Core Processor"),
                     {"<h1><bdi>AMD EPYC 7763 64-Core Processor</bdi></h1>", "<dt>Place</dt><dd>#1 of ",
                      "<dt>Score</dt><dd>7259</dd><dt>Runs</dt><dd>2</dd>"},
                     {}});

    PageCase hostile{"hostile names stay text and run nothing", Board::hostile, "/", {}, {}};
    hostile.dom_has = {"<title>Vornmark leaderboard</title>", "<th class=\"n sort\""};
    for (const std::string& name : hostile_names()) {
        hostile.dom_has.push_back("<bdi>" + as_dom_text(canonical_cpu_name(name)) + "</bdi>");
    }
    hostile.dom_lacks = {"data-pwned", "<img", "<svg onload", "pwned</title>", "<style>body"};
    cases.push_back(hostile);

    for (std::size_t i : {0u, 3u, 7u}) {
        const std::string name = canonical_cpu_name(hostile_names()[i]);
        cases.push_back({"a hostile name's own page, name " + std::to_string(i),
                         Board::hostile,
                         processor_target("single", name),
                         {"<h1><bdi>" + as_dom_text(name) + "</bdi></h1>", "<title>" + as_dom_text(name)},
                         {"data-pwned", "pwned</title>", "<img"}});
    }

    cases.push_back({"an error page of ours",
                     Board::hostile,
                     "/cpu?type=single&cpu=%3Cscript%3Ex%3C%2Fscript%3E",
                     {"<h1>404 Not Found</h1>", "&lt;script&gt;x&lt;/script&gt;"},
                     {"<script>x"}});

    // The control: the console check does see a violation when there is one.
    cases.push_back(
        {"control: an inline script outside the policy is reported",
         Board::none,
         "data:text/html,<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'\">"
         "<script>document.title='ran'</script>",
         {},
         {"<title>ran"},
         true});

    cases.push_back({"screenshot of the standings",
                     Board::known,
                     "/",
                     {},
                     {},
                     false,
                     "leaderboard-standings.png",
                     "1280,860"});
    cases.push_back({"screenshot of a processor's page",
                     Board::known,
                     processor_target("single", "AMD Ryzen 9 7950X 16-Core Processor"),
                     {},
                     {},
                     false,
                     "leaderboard-processor.png",
                     "1000,520"});
    cases.push_back({"screenshot on a phone, light",
                     Board::known,
                     "/",
                     {},
                     {},
                     false,
                     "leaderboard-phone-light.png",
                     "390,844",
                     false});
    return cases;
}

class InABrowser : public testing::TestWithParam<PageCase> {};

std::string case_name(const testing::TestParamInfo<PageCase>& info) {
    std::string name;
    for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

}  // namespace

TEST_P(InABrowser, Page) {
    const PageCase& c = GetParam();
    std::string url = c.target;
    if (c.board != Board::none) {
        const LeaderboardServerProcess& server = c.board == Board::known ? boards().known : boards().hostile;
        url = server.url() + c.target;
    }
    TempDir out;
    const std::string picture = c.screenshot.empty() ? std::string() : out.file(c.screenshot);
    PageLoad load = load_page(url, picture, c.size, c.dark);
    ASSERT_EQ(load.exit_code, 0) << load.dom;

    for (const std::string& wanted : c.dom_has) EXPECT_NE(load.dom.find(wanted), std::string::npos) << wanted;
    for (const std::string& unwanted : c.dom_lacks) {
        EXPECT_EQ(load.dom.find(unwanted), std::string::npos) << unwanted << "\n" << load.dom;
    }
    const bool violation = load.console.find("Content Security Policy") != std::string::npos;
    EXPECT_EQ(violation, c.policy_violation) << load.console;

    if (!picture.empty()) {
        const std::string size =
            std::to_string(png_size(picture).first) + "," + std::to_string(png_size(picture).second);
        EXPECT_EQ(size, c.size) << load.dom;
        if (const char* keep = std::getenv("VORNMARK_PAGE_SCREENSHOTS")) {
            std::filesystem::copy_file(picture, std::filesystem::path(keep) / c.screenshot,
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, InABrowser, testing::ValuesIn(page_cases()), case_name);

}  // namespace vornmark::server
