#pragma once

#include <cstdint>
#include <string>

// Every run the program records renders the preset image; these are fixed, not taken from the run.
inline constexpr std::int32_t history_resolution_w = 1920;
inline constexpr std::int32_t history_resolution_h = 1080;
inline constexpr std::int32_t history_samples = 128;

// One finished run as stored in "history.json".
struct HistoryEntry {
    std::string date;
    std::string cpu;
    std::string type;
    std::int32_t score = 0;
    double time_seconds = 0.0;
    std::int32_t threads = 0;
    std::int32_t resolution_w = history_resolution_w;
    std::int32_t resolution_h = history_resolution_h;
    std::int32_t samples = history_samples;

    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};
