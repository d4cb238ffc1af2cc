#include "history/history_entry.h"

#include "engine/benchmark_result.h"

HistoryEntry history_entry_from_result(const BenchmarkResult& result, const std::string& cpu) {
    HistoryEntry entry;
    entry.date = result.date;
    entry.cpu = cpu;
    entry.type = result.type;
    entry.score = result.score;
    entry.time_seconds = result.time_seconds;
    entry.threads = result.threads;
    entry.resolution_w = kHistoryResolutionW;
    entry.resolution_h = kHistoryResolutionH;
    entry.samples = kHistorySamples;
    return entry;
}
