#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The runs of one run type and processor name, summed.
struct NameTotals {
    std::string type;
    std::string cpu_name;
    std::int64_t score_sum = 0;
    std::int64_t runs = 0;
    std::int64_t first_run = 0;  // the id of its earliest run
};

// One standings row: the runs of every name that looks alike (the same cpu_name_key),
// under the canonical form of the spelling that came first.
struct KeyedTotals {
    std::string type;
    std::string cpu_key;
    std::string cpu_name;
    std::int64_t score_sum = 0;
    std::int64_t runs = 0;
};

// Merges per-name totals into standings rows; how a store keys its rows anew when the
// rules change (or were never applied) without losing a run.
std::vector<KeyedTotals> merge_look_alikes(std::vector<NameTotals> names);
