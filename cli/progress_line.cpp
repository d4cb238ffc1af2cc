#include "cli/progress_line.h"

#include <unistd.h>

#include <cstdio>

#include "session/run_controller.h"
#include "session/run_texts.h"

namespace vornmark::cli {

ProgressLine::ProgressLine() : shown_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::show(const std::string& label, const RunProgress& progress) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_draw_ < std::chrono::milliseconds(250)) return;
    last_draw_ = now;
    // Until the run has planned and started its clock, the counters describe the previous run.
    const std::string text =
        progress.timing ? progress_text(ProgressLayout::Terminal, progress) : "preparing...";
    std::fprintf(stderr, "\r[%s] %s\033[K", label.c_str(), text.c_str());
    std::fflush(stderr);
}

void ProgressLine::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    last_draw_ = {};
}

}  // namespace vornmark::cli
