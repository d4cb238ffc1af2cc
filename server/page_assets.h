#pragma once

#include <string>
#include <string_view>

namespace vornmark::server {

// What every page of the leaderboard carries inline: its one style sheet, the few lines that sort a
// standings table, and the Content-Security-Policy that allows exactly those two by their hashes
// and nothing else (no other script, style, image, frame, form target or base URL; no framing by
// other sites). Nothing is fetched from anywhere.

// The text between <style> and </style>.
std::string_view page_style();
// The text between <script> and </script>. The pages read well without it.
std::string_view page_script();
// The value of the Content-Security-Policy header of every page.
const std::string& content_security_policy();

// 'sha256-<base64>' of a text, as a policy names an inline style or script.
std::string csp_hash(std::string_view text);

}  // namespace vornmark::server
