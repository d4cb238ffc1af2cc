// What the kept answers give back: by age while change notices are not trusted, until forgotten
// (up to a minute) while they are, and never an answer read before a change it may have missed.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/kept_answers.h"

namespace vornmark::server {

namespace {

using Kept = KeptAnswers<int>;
using Clock = Kept::Clock;
constexpr auto lifetime = std::chrono::seconds(1);

enum class Step { trust, distrust, forget_other, forget_all, forget_it };

}  // namespace

TEST(KeptAnswers, KeptByAgeOrUntilForgottenAndNeverPastAChangeReadBefore) {
    const struct Case {
        const char* name;
        bool trusted_when_read;
        std::vector<Step> before_kept;  // between the ticket and keep(): a change during the read
        std::vector<Step> after_kept;
        bool found_young;  // asked at once
        bool found_old;    // asked half a minute later (past the lifetime)
    } cases[] = {
        {"by age without notices", false, {}, {}, true, false},
        {"until changed with notices", true, {}, {}, true, true},
        {"another row changed since", true, {}, {Step::forget_other}, true, true},
        {"its row changed", true, {}, {Step::forget_it}, false, false},
        {"every row changed", true, {}, {Step::forget_all}, false, false},
        {"another row changed during the read", true, {Step::forget_other}, {}, true, true},
        {"its row changed during the read", true, {Step::forget_it}, {}, false, false},
        {"its row changed during the read, no notices", false, {Step::forget_it}, {}, false, false},
        {"every row changed during the read", true, {Step::forget_all}, {}, false, false},
        {"notices lost during the read", true, {Step::distrust}, {}, false, false},
        {"notices lost: by age", true, {}, {Step::distrust}, true, false},
        {"heard again: what was kept goes", false, {}, {Step::trust}, false, false},
        {"lost and heard again", true, {}, {Step::distrust, Step::trust}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Kept kept(lifetime, 100);
        const auto apply = [&](const std::vector<Step>& steps) {
            for (Step step : steps) {
                switch (step) {
                case Step::trust:
                    kept.trust_notices(true);
                    break;
                case Step::distrust:
                    kept.trust_notices(false);
                    break;
                case Step::forget_other:
                    kept.forget("multi\nother");
                    break;
                case Step::forget_all:
                    kept.forget_all();
                    break;
                case Step::forget_it:
                    kept.forget("multi\nit");
                    break;
                }
            }
        };
        if (c.trusted_when_read) kept.trust_notices(true);
        const Clock::time_point read_at = Clock::now();
        const Kept::Ticket ticket = kept.ticket();
        apply(c.before_kept);
        kept.keep("multi\nit", std::make_shared<const int>(7), read_at, ticket);
        apply(c.after_kept);
        EXPECT_EQ(kept.find("multi\nit", read_at).has_value(), c.found_young);
        EXPECT_EQ(kept.find("multi\nit", read_at + std::chrono::seconds(30)).has_value(), c.found_old);
        // A notice lost with the process that would have sent it is outlived.
        EXPECT_FALSE(kept.find("multi\nit", read_at + std::chrono::minutes(2)).has_value());
    }
}

TEST(KeptAnswers, StayWithinTheirBoundWhenNoneIsStale) {
    Kept kept(lifetime, 100);
    kept.trust_notices(true);
    for (int i = 0; i < 1000; ++i) {
        kept.keep(std::to_string(i), std::make_shared<const int>(i), Clock::now(), kept.ticket());
        ASSERT_LE(kept.size(), 100u);
    }
    // The newest is always kept.
    EXPECT_TRUE(kept.find("999", Clock::now() + std::chrono::seconds(30)).has_value());
}

}  // namespace vornmark::server
