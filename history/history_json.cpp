#include "history/history_json.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <nlohmann/json.hpp>

namespace vornmark {

namespace {

using nlohmann::json;

bool read_string(const json& object, const char* key, std::string& out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}

// Any number (fractions truncated toward zero) or a boolean. A value outside the 32-bit range
// counts as the wrong kind rather than being wrapped or clamped into a different number.
bool read_int32(const json& object, const char* key, std::int32_t& out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    constexpr auto lowest = std::numeric_limits<std::int32_t>::min();
    constexpr auto highest = std::numeric_limits<std::int32_t>::max();
    switch (it->type()) {
    case json::value_t::boolean:
        out = it->get<bool>() ? 1 : 0;
        return true;
    case json::value_t::number_integer: {
        const auto value = it->get<std::int64_t>();
        if (value < lowest || value > highest) return false;
        out = static_cast<std::int32_t>(value);
        return true;
    }
    case json::value_t::number_unsigned: {
        const auto value = it->get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(highest)) return false;
        out = static_cast<std::int32_t>(value);
        return true;
    }
    case json::value_t::number_float: {
        const double value = std::trunc(it->get<double>());
        if (!(value >= lowest && value <= highest)) return false;
        out = static_cast<std::int32_t>(value);
        return true;
    }
    default:
        return false;
    }
}

bool read_double(const json& object, const char* key, double& out) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_number()) return false;
    out = it->get<double>();
    return true;
}

bool read_entry(const json& element, HistoryEntry& entry) {
    if (!element.is_object()) return false;
    return read_string(element, "date", entry.date) && read_string(element, "cpu", entry.cpu) &&
           read_string(element, "type", entry.type) && read_int32(element, "score", entry.score) &&
           read_double(element, "time_seconds", entry.time_seconds) &&
           read_int32(element, "threads", entry.threads) &&
           read_int32(element, "resolution_w", entry.resolution_w) &&
           read_int32(element, "resolution_h", entry.resolution_h) &&
           read_int32(element, "samples", entry.samples);
}

}  // namespace

HistoryReadStatus read_history_json(std::istream& in, std::vector<HistoryEntry>& entries) {
    entries.clear();
    json document;
    try {
        // The stream reader stops after the first value, so trailing text is ignored.
        in >> document;
    } catch (const json::exception&) {
        return HistoryReadStatus::Invalid;
    }
    if (!document.is_object()) return HistoryReadStatus::NotAHistory;
    const auto runs = document.find("runs");
    if (runs == document.end() || !runs->is_array()) return HistoryReadStatus::NotAHistory;

    std::vector<HistoryEntry> read;
    read.reserve(runs->size());
    for (const json& element : *runs) {
        HistoryEntry entry;
        if (!read_entry(element, entry)) return HistoryReadStatus::Invalid;
        read.push_back(std::move(entry));
    }
    entries = std::move(read);
    return HistoryReadStatus::Read;
}

std::string write_history_json(const std::vector<HistoryEntry>& entries) {
    json runs = json::array();
    for (const HistoryEntry& entry : entries) {
        json object = json::object();
        object["date"] = entry.date;
        object["cpu"] = entry.cpu;
        object["type"] = entry.type;
        object["score"] = entry.score;
        // The serializer writes non-finite numbers as null, which would make the whole file
        // unreadable on the next load; store the default instead.
        object["time_seconds"] = std::isfinite(entry.time_seconds) ? entry.time_seconds : 0.0;
        object["threads"] = entry.threads;
        object["resolution_w"] = entry.resolution_w;
        object["resolution_h"] = entry.resolution_h;
        object["samples"] = entry.samples;
        runs.push_back(std::move(object));
    }
    json document = json::object();
    document["runs"] = std::move(runs);
    // Replace ill-formed UTF-8 (a processor name is not guaranteed to be valid) instead of throwing,
    // so the save still happens.
    return document.dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace vornmark
