#include "update/VersionCompare.h"

#include <gtest/gtest.h>

using namespace tabulonix;

TEST(VersionCompare, FieldsAreDecimalNumbersMissingOrUnreadableOnesZero)
{
    struct Case {
        const char* text;
        TVersionNumbers numbers;
    } cases[] = {
        {"1.2.4.80", {"1", "2", "4", "80"}},
        {"2.5", {"2", "5", "0", "0"}},
        {"1.2.4", {"1", "2", "4", "0"}},
        {"N/A", {"0", "0", "0", "0"}},
        {"", {"0", "0", "0", "0"}},
        {"1.x.3.4", {"1", "0", "3", "4"}},
        {"01.002.0.0009", {"1", "2", "0", "9"}},
        {" 3 . 4 .5.6", {"3", "4", "5", "6"}},
        {"1.2.3.4.5", {"1", "2", "3", "4"}},
        {"-1.2.3.4", {"0", "2", "3", "4"}},
        {"1..3", {"1", "0", "3", "0"}},
        {"99999999999999999999.1", {"99999999999999999999", "1", "0", "0"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseVersionNumbers(c.text), c.numbers) << c.text;
}

TEST(VersionCompare, NewerMeansGreaterInOrderFirstNumberFirst)
{
    struct Case {
        const char* running;
        const char* available;
        bool newer;
    } cases[] = {
        {"1.2.4.80", "1.2.4.81", true},
        {"1.2.4.80", "1.3.0.0", true},   // the second number counts
        {"1.2.4.80", "0.9.3.99", false}, // an older major version stays older
        {"1.2.4.80", "2.0.0.0", true},
        {"1.2.4.80", "N/A", false},
        {"1.2.4.80", "1.2.4.80", false},
        {"1.2.4.80", "1.2.4", false},
        {"1.2.4.80", "1.2.5", true},
        {"1.0.0.0", "2.5", true},
        {"2.6.0.0", "2.5", false},
        {"1.2.4.80", "1.2.4.080", false}, // leading zeros do not make a number larger
        {"1.9.0.0", "1.10.0.0", true},    // numbers, not text
        {"1.2.4.80", "99999999999999999999.0.0.0", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNewerVersion(c.running, c.available), c.newer)
            << c.running << " against " << c.available;
}
