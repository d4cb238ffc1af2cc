#include "session/mp_ratio.h"

#include <cstdio>

#include "base/run_kind.h"

namespace vornmark {

std::optional<MpRatio> mp_ratio(double single_score, double multi_score, std::int32_t threads) {
    if (!(single_score > 0.0) || !(multi_score > 0.0)) return std::nullopt;
    return MpRatio{multi_score / single_score, threads};
}

std::optional<MpRatio> mp_ratio_of_runs(const std::vector<FinishedRun>& runs) {
    const FinishedRun* single = nullptr;
    const FinishedRun* multi = nullptr;
    for (const FinishedRun& run : runs) {
        if (!run.has_valid_score()) continue;
        (run.result.type == RunKind::Single ? single : multi) = &run;
    }
    if (!single || !multi) return std::nullopt;
    return mp_ratio(single->result.score, multi->result.score, multi->result.threads);
}

std::optional<MpRatio> mp_ratio_of_history(const std::vector<HistoryEntry>& entries, const std::string& cpu) {
    const HistoryEntry* single = nullptr;
    const HistoryEntry* multi = nullptr;
    for (const HistoryEntry& entry : entries) {
        if (entry.cpu != cpu) continue;
        const std::optional<RunKind> kind = parse_run_kind(entry.type);
        if (!kind) continue;
        const HistoryEntry*& best = *kind == RunKind::Single ? single : multi;
        if (!best || entry.score > best->score) best = &entry;
    }
    if (!single || !multi) return std::nullopt;
    return mp_ratio(single->score, multi->score, multi->threads);
}

std::string mp_ratio_text(const MpRatio& ratio) {
    char text[64];
    std::snprintf(text, sizeof text, "MP ratio %.2f\xC3\x97 on %d thread%s", ratio.ratio, ratio.threads,
                  ratio.threads == 1 ? "" : "s");
    return text;
}

}  // namespace vornmark
