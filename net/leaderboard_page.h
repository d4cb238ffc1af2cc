#pragma once

#include <optional>
#include <string>

#include "base/run_kind.h"
#include "net/leaderboard_setting.h"

namespace vornmark {

// The leaderboard's web page, as the window and the runner offer it: the standings page of the
// leaderboard in use, at the table of one run type when one is given.
struct LeaderboardPage {
    // "https://bench.example.org:8443/#multi" ("https://bench.example.org:8443/" without a type); empty
    // when no leaderboard is in use (none set, or a refused setting).
    std::string url;
    // Whether a browser is likely to open it without a certificate warning. A leaderboard checked
    // against a CA file of its own (scripts/run.sh's local leaderboard, or --leaderboard-ca) is
    // unknown to a browser until the user trusts that certificate there, so the program shows the
    // address with `note` instead of opening a warning page.
    bool browser_trusts = false;
    std::string note;  // how to trust the certificate; empty when browser_trusts
};

LeaderboardPage leaderboard_page(const LeaderboardSetting& setting,
                                 std::optional<RunKind> kind = std::nullopt);

}  // namespace vornmark
