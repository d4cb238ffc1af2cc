#include "cli/standing_report.h"

#include <chrono>
#include <thread>

#include "session/stop_signal.h"

namespace vornmark::cli {

void wait_for_standing(const LeaderboardClient& client) {
    while (client.standing_request_count() > 0 && !stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::optional<std::string> standing_report_line(const StandingOutcome& outcome) {
    switch (outcome.state) {
    case StandingOutcome::State::Ready:
        return where_you_stand_line(outcome.standing);
    case StandingOutcome::State::Failed:
    case StandingOutcome::State::Waiting:
        return "Where you stand: " +
               standing_unavailable_line(outcome.error.empty() ? "no answer" : outcome.error);
    case StandingOutcome::State::None:
        break;
    }
    return std::nullopt;
}

std::string with_standing(std::string run_json, const StandingOutcome& outcome) {
    if (outcome.state == StandingOutcome::State::None || run_json.empty() || run_json.back() != '}')
        return run_json;
    const std::string value =
        outcome.state == StandingOutcome::State::Ready ? standing_json(outcome.standing) : "null";
    run_json.insert(run_json.size() - 1,
                    std::string(run_json.size() > 2 ? "," : "") + "\"standing\":" + value);
    return run_json;
}

}  // namespace vornmark::cli
