// The where-you-stand request's query (type, cpu and score, one a line; a missing line is a missing
// parameter) as the server checks it, and the reply as the client reads it: an accepted query has a
// canonical, keyed name and a score in range; a reply the client accepts holds only figures a
// leaderboard can give, and writes lines and JSON without harm.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "net/standing.h"
#include "server/cpu_name.h"
#include "server/standing_request.h"
#include "server/submission.h"
#include "tests/fuzz/arguments_from_lines.h"

using namespace vornmark;
using namespace vornmark::server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> lines = arguments_from_lines(data, size);
    auto line = [&](std::size_t i) { return i < lines.size() ? std::optional<std::string>(lines[i]) : std::nullopt; };
    const StandingCheck check = check_standing_query(line(0), line(1), line(2));
    if (check.ok()) {
        const StandingParameters& p = check.parameters;
        if (p.type != "single" && p.type != "multi") std::abort();
        if (p.cpu.empty() || p.cpu.size() > max_cpu_name_bytes || canonical_cpu_name(p.cpu) != p.cpu) std::abort();
        if (p.cpu_key != cpu_name_key(p.cpu)) std::abort();
        if (p.score && (*p.score < 1 || *p.score > max_score)) std::abort();
    }

    const std::string body(reinterpret_cast<const char*>(data), size);
    try {
        const Standing standing = standing_from_reply(body);
        if (standing.faster_than && (*standing.faster_than < 0 || *standing.faster_than > 100)) std::abort();
        if (standing.rank && (*standing.rank < 1 || *standing.rank > standing.rows)) std::abort();
        if (standing.has_histogram() && standing.edges.size() != standing.counts.size() + 1) std::abort();
        standing_line(standing);
        where_you_stand_line(standing);
        (void)nlohmann::json::parse(standing_json(standing));
    } catch (const std::exception&) {
    }
    return 0;
}
