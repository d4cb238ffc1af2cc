#include "base/check.h"

#include <gtest/gtest.h>

namespace vornmark {

// On in Debug and the sanitizer builds: a broken invariant stops the program and says which.
// Off in Release: the condition is not even evaluated.
TEST(Dcheck, FailsLoudlyWhereChecksAreOnAndCostsNothingWhereTheyAreOff) {
    int evaluations = 0;
    DCHECK(++evaluations > 0);
    EXPECT_EQ(evaluations, checks_enabled ? 1 : 0);
    if (checks_enabled) {
        const int two = 2;
        EXPECT_DEATH(DCHECK(two + 2 == 5), "check_test.cpp:[0-9]+: check failed: two \\+ 2 == 5");
    }
}

}  // namespace vornmark
