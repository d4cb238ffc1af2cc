#pragma once

#include <chrono>
#include <string>

namespace vornmark {
struct RunProgress;
}  // namespace vornmark

namespace vornmark::cli {

// One progress line on stderr, kept up to date while a run goes on, when stderr is a terminal:
// "[label] " and the run's progress_text, redrawn in place at most four times a second.
class ProgressLine {
public:
    ProgressLine();
    void show(const std::string& label, const RunProgress& progress);
    // Takes the line away, before anything else is printed.
    void clear();

private:
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace vornmark::cli
