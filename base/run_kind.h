#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vornmark {

// The two kinds of run: on exactly one worker, or on more. The kind follows from the worker count
// alone, not from the button or option that started the run.
enum class RunKind { Single, Multi };

constexpr RunKind run_kind_for(std::int32_t threads) {
    return threads == 1 ? RunKind::Single : RunKind::Multi;
}

// "single" or "multi": how the history file, the leaderboard's requests and the runner's output
// name the kind.
constexpr std::string_view run_kind_text(RunKind kind) {
    return kind == RunKind::Single ? "single" : "multi";
}

// The kind a text names, byte for byte; nothing for any other text ("Single" included).
constexpr std::optional<RunKind> parse_run_kind(std::string_view text) {
    if (text == "single") return RunKind::Single;
    if (text == "multi") return RunKind::Multi;
    return std::nullopt;
}

}  // namespace vornmark
