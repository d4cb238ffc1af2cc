#include "cli/test_build.h"

#include <cstdlib>
#include <string>

namespace {

std::string environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

HttpEndpoint test_build_endpoint() {
    HttpEndpoint endpoint;
    endpoint.host = environment("VORNMARK_TEST_LEADERBOARD_HOST", "127.0.0.1");
    endpoint.port = std::atoi(environment("VORNMARK_TEST_LEADERBOARD_PORT", "1").c_str());
    endpoint.ca_file = environment("VORNMARK_TEST_LEADERBOARD_CA", "");
    return endpoint;
}

void shrink_to_test_size(std::vector<PlannedRun>& runs) {
    for (PlannedRun& run : runs) {
        if (run.custom) continue;
        run.config.width = 64;
        run.config.height = 36;
        run.config.samples = 4;
    }
}
