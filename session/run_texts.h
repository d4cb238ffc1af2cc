#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vornmark {

struct RunProgress;

// What both front ends say about a run, in one place: its progress, the time it still needs and
// how it ended.

// How long the run going still needs: elapsed × (work left ÷ work done).
struct TimeLeft {
    double seconds = 0.0;
    // From the tile count alone (an image whose tiles' work is not known): a rough guess.
    bool approximate = false;
};

// None before the first tile is done, or while no run is timing.
std::optional<TimeLeft> estimated_time_left(double work_done, double work_total, double elapsed_seconds,
                                            bool weighted);
std::optional<TimeLeft> estimated_time_left(const RunProgress& progress);

// "7:05", "1:02:09": minutes and seconds, hours past an hour; negative times read as 0:00.
std::string clock_text(double seconds);

// "7:05 left", or "about 7:05 left" for an approximate estimate.
std::string time_left_text(const TimeLeft& left);

// Where the progress line is shown; the window's line is laid out as the panel's design has it, the
// terminal's to be read at a glance as it is overwritten.
enum class ProgressLayout {
    Window,    // "510 / 2040 tiles  |  25.0%  |  12.5s  |  1:30 left", the time left only when known
    Terminal,  // "510/2040 tiles   25.0%  elapsed 12.5 s  1:30 left", "left --" without an estimate
};

// Tiles done of the total, their share in per cent, the seconds so far and the time left ("about
// 1:30 left" when it is a rough guess).
std::string progress_text(ProgressLayout layout, std::int32_t tiles_done, std::int32_t tiles_total,
                          double elapsed_seconds, const std::optional<TimeLeft>& left = std::nullopt);
// What stands between the fields of the window's line, where a narrow column may break it.
inline constexpr const char* window_progress_separator = "  |  ";
// The same of the runs' progress as a poll left it, with its estimated time left.
std::string progress_text(ProgressLayout layout, const RunProgress& progress);

// What both front ends say of a run that was cancelled: "Cancelled after 211 of 2040 tiles;
// nothing stored".
std::string cancelled_text(std::int32_t tiles_done, std::int32_t tiles_total);

}  // namespace vornmark
