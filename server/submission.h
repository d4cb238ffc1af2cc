#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vornmark::server {

// One benchmark run sent to the leaderboard, after validation.
struct Submission {
    std::string cpu_name;
    std::int32_t score = 0;
    std::int32_t threads = 0;
    std::string type;
};

inline constexpr std::size_t max_cpu_name_bytes = 128;
inline constexpr std::int64_t max_score = 10'000'000;
inline constexpr std::int64_t max_threads = 4096;

struct SubmissionCheck {
    Submission submission;
    std::string error;  // empty when the submission is valid
    bool ok() const { return error.empty(); }
};

// Checks a request body: exactly one JSON object, no member repeated, with "cpu_name",
// "score", "threads" and "type"; other members are ignored. The error names the first
// problem found. The name comes back in its canonical form (canonical_cpu_name).
SubmissionCheck parse_submission(std::string_view body);
SubmissionCheck check_submission(const nlohmann::json& body);

// Well-formed UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool is_valid_utf8(std::string_view text);
// C0 controls, DEL and C1 controls (U+0080..U+009F); expects valid UTF-8.
bool has_control_characters(std::string_view text);

}  // namespace vornmark::server
