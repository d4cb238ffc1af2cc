#include "net/leaderboard_page.h"

#include "net/leaderboard_url.h"

namespace vornmark {

LeaderboardPage leaderboard_page(const LeaderboardSetting& setting, std::optional<RunKind> kind) {
    LeaderboardPage page;
    if (!setting.in_use()) return page;
    page.url = leaderboard_url_of(setting.endpoint) + "/";
    if (kind) {
        page.url += '#';
        page.url += run_kind_text(*kind);
    }
    page.browser_trusts = setting.endpoint.ca_file.empty();
    if (!page.browser_trusts) {
        page.note = "A browser does not know this leaderboard's certificate (" + setting.endpoint.ca_file +
                    "): trust that certificate in the browser first (README, \"Opening the leaderboard in a "
                    "browser\").";
    }
    return page;
}

}  // namespace vornmark
