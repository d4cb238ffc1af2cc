// vornmark-leaderboard: the self-hostable leaderboard server for Vornmark.

#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "server/options.h"
#include "server/serve.h"

using namespace vornmark;
using namespace vornmark::server;

int main(int argc, char** argv) {
    const ParsedOptions parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vornmark-leaderboard: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.show_help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }
    // A client that hangs up must not end the process.
    signal(SIGPIPE, SIG_IGN);
    if (!parsed.options.command.empty()) return moderate(parsed.options);
    if (!parsed.options.import_sqlite.empty()) return import_sqlite(parsed.options);
    return serve(parsed.options);
}
