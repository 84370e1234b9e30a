#include "engine/Geometry.h"

#include <gtest/gtest.h>

using namespace tabulonix;

namespace {

struct SizeCase {
    const char* what;
    int w0, h0;
    int aspect, width, height;
    bool stretch;
    int64_t outW, outH;
};

class TargetSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TargetSizeTest, FollowsTheRule)
{
    const SizeCase& c = GetParam();
    JobSettings s;
    s.Aspect = c.aspect;
    s.Leveys = c.width;
    s.Korkeus = c.height;
    s.StretchSmall = c.stretch;
    TargetSize t = ComputeTargetSize(c.w0, c.h0, s);
    EXPECT_EQ(t.width, c.outW) << c.what;
    EXPECT_EQ(t.height, c.outH) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetSizeTest,
    ::testing::Values(
        SizeCase{"favour height shrinks", 300, 200, 0, 100, 100, false, 150, 100},
        SizeCase{"150.5 rounds to even 150", 301, 200, 0, 100, 100, false, 150, 100},
        SizeCase{"151.5 rounds to even 152", 303, 200, 0, 100, 100, false, 152, 100},
        SizeCase{"small kept without stretch", 80, 60, 0, 100, 100, false, 80, 60},
        SizeCase{"small enlarged with stretch", 80, 60, 0, 100, 100, true, 133, 100},
        SizeCase{"equal favoured side kept", 100, 50, 1, 100, 100, true, 100, 50},
        SizeCase{"equal favoured side kept, no stretch", 100, 50, 1, 100, 100, false, 100, 50},
        SizeCase{"no aspect shrinks the width only", 300, 50, 2, 100, 100, false, 100, 50},
        SizeCase{"no aspect stretches both", 300, 50, 2, 100, 100, true, 100, 100},
        SizeCase{"favour width ignores the height", 400, 400, 1, 100, 10, false, 100, 100},
        SizeCase{"favour height ignores the width", 400, 400, 0, 10, 100, false, 100, 100},
        SizeCase{"side may round to zero", 1, 1000, 0, 100, 1, false, 0, 1},
        SizeCase{"request below one gives a side below one", 300, 200, 0, 100, 0, false, 0, 0},
        // 50000 * 60000 does not fit 32 bits: the product is formed wider.
        SizeCase{"large products", 60000, 50000, 0, 100, 45000, false, 54000, 45000},
        SizeCase{"favour width rounds half to even", 200, 301, 1, 100, 100, false, 100, 150},
        // Fit in the box: the limiting side is the favoured one.
        SizeCase{"fit: wide photo limited by the width", 1920, 1080, 3, 100, 100, false, 100, 56},
        SizeCase{"fit: tall photo limited by the height", 1080, 1920, 3, 100, 100, false, 56, 100},
        SizeCase{"fit: banner shrinks to the box", 556, 20, 3, 100, 100, false, 100, 4},
        SizeCase{"fit: box wider than the picture", 400, 300, 3, 300, 100, false, 133, 100},
        SizeCase{"fit: small kept without stretch", 80, 60, 3, 100, 100, false, 80, 60},
        SizeCase{"fit: small enlarged to the limiting side", 80, 60, 3, 100, 100, true, 100, 75},
        SizeCase{"fit: small, height limits", 60, 80, 3, 200, 100, true, 75, 100},
        SizeCase{"fit: one side equal, other inside", 100, 40, 3, 100, 100, true, 100, 40},
        SizeCase{"fit: same shape as the box", 200, 100, 3, 100, 50, false, 100, 50},
        SizeCase{"fit: halves to even", 200, 301, 3, 100, 200, false, 100, 150},
        SizeCase{"fit: halves to even on the width", 303, 200, 3, 200, 100, false, 152, 100}));

TEST(PercentTextTest, RoundsHalfToEven)
{
    EXPECT_EQ(PercentText(1, 8), "12%"); // 12.5
    EXPECT_EQ(PercentText(3, 8), "38%"); // 37.5
    EXPECT_EQ(PercentText(1, 3), "33%");
    EXPECT_EQ(PercentText(2, 3), "67%");
    EXPECT_EQ(PercentText(10, 10), "100%");
    EXPECT_EQ(PercentText(0, 0), "0%");
    EXPECT_EQ(RoundDivHalfEven(-3, 2), -2); // -1.5
    EXPECT_EQ(RoundDivHalfEven(5, 2), 2);
}

} // namespace
