#include "server/row_statistics.h"

#include <algorithm>
#include <cmath>

#include "server/submission.h"

namespace vornmark::server {

namespace {

const std::vector<std::int64_t>& bin_floors() {
    static const std::vector<std::int64_t> floors = [] {
        std::vector<std::int64_t> out{1};
        while (out.back() <= max_score)
            out.push_back(out.back() + std::max<std::int64_t>(1, out.back() / 50));
        return out;
    }();
    return floors;
}

double mean_score(const ThreadBin& bin) {
    return static_cast<double>(bin.score_sum) / static_cast<double>(bin.runs);
}

double per_thread(const ThreadBin& bin) {
    return mean_score(bin) / std::max<std::int32_t>(bin.threads, 1);
}

// The value at 0-based position `at` of the runs of `sorted` (in their order), each bin's runs
// taken at its mean.
template <typename Value>
double value_at(const std::vector<ThreadBin>& sorted, std::int64_t at, Value value) {
    for (const ThreadBin& bin : sorted) {
        if (at < bin.runs) return value(bin);
        at -= bin.runs;
    }
    return sorted.empty() ? 0 : value(sorted.back());
}

}  // namespace

int score_bin(std::int64_t score) {
    const std::vector<std::int64_t>& floors = bin_floors();
    auto above = std::upper_bound(floors.begin(), floors.end(), score);
    return std::max(0, static_cast<int>(above - floors.begin()) - 1);
}

std::int64_t score_bin_floor(int bin) {
    const std::vector<std::int64_t>& floors = bin_floors();
    return floors[static_cast<std::size_t>(std::clamp(bin, 0, static_cast<int>(floors.size()) - 1))];
}

bool is_outlier(const ThreadBin& bin, std::int64_t counted_runs, double median_per_thread,
                const OutlierRule& rule) {
    if (counted_runs < rule.min_runs || median_per_thread <= 0) return false;
    const double value = per_thread(bin);
    return value > median_per_thread * rule.factor || value * rule.factor < median_per_thread;
}

RowDistribution read_distribution(std::vector<ThreadBin> bins, const OutlierRule& rule) {
    RowDistribution d;
    std::erase_if(bins, [](const ThreadBin& b) { return b.runs <= 0; });
    if (bins.empty()) return d;
    std::int64_t counted = 0;
    for (const ThreadBin& b : bins) counted += b.runs;

    std::sort(bins.begin(), bins.end(),
              [](const ThreadBin& a, const ThreadBin& b) { return per_thread(a) < per_thread(b); });
    d.median_per_thread = value_at(bins, (counted - 1) / 2, per_thread);

    std::vector<ThreadBin> kept;
    for (const ThreadBin& b : bins) {
        if (is_outlier(b, counted, d.median_per_thread, rule)) {
            d.outliers += b.runs;
        } else {
            kept.push_back(b);
        }
    }
    d.bins = std::move(bins);
    std::sort(kept.begin(), kept.end(),
              [](const ThreadBin& a, const ThreadBin& b) { return mean_score(a) < mean_score(b); });
    for (const ThreadBin& b : kept) d.runs += b.runs;
    if (d.runs == 0) return d;

    // The mean of the middle half: a quarter of the runs (rounded down) left out at each end.
    const std::int64_t trim = d.runs / 4;
    std::int64_t whole = 0;
    double partial = 0;
    std::int64_t position = 0;
    for (const ThreadBin& b : kept) {
        const std::int64_t from = std::max(position, trim);
        const std::int64_t to = std::min(position + b.runs, d.runs - trim);
        if (to - from == b.runs) {
            whole += b.score_sum;
        } else if (to > from) {
            partial += mean_score(b) * static_cast<double>(to - from);
        }
        position += b.runs;
    }
    const double middle = static_cast<double>(d.runs - 2 * trim);
    d.avg_score =
        partial == 0 ? whole / (d.runs - 2 * trim)
                     : static_cast<std::int64_t>(std::floor((static_cast<double>(whole) + partial) / middle));

    d.p10 = value_at(kept, (d.runs - 1) / 10, mean_score);
    d.median = value_at(kept, (d.runs - 1) / 2, mean_score);
    d.p90 = value_at(kept, (d.runs - 1) * 9 / 10, mean_score);

    int lowest = kept.front().bin;
    int highest = kept.front().bin;
    for (const ThreadBin& b : kept) {
        lowest = std::min(lowest, b.bin);
        highest = std::max(highest, b.bin);
    }
    d.counts.assign(static_cast<std::size_t>(highest - lowest + 1), 0);
    for (const ThreadBin& b : kept) d.counts[static_cast<std::size_t>(b.bin - lowest)] += b.runs;
    for (int bin = lowest; bin <= highest + 1; ++bin)
        d.edges.push_back(static_cast<double>(score_bin_floor(bin)));
    return d;
}

}  // namespace vornmark::server
