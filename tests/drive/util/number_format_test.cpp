// Numbers written and read the same way on every C runtime the tool is
// built for.
#include <gtest/gtest.h>

#include <cstdint>

#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {
namespace {

// Traces are compared across C runtimes, so numbers must not depend on one.
TEST(NumberFormat, RoundsHalfAwayFromZeroWithoutNegativeZero) {
    EXPECT_EQ(formatFixed(1.0005, 3), "1.001");  // 1.0005 is just above in binary
    EXPECT_EQ(formatFixed(2.5, 0), "3");
    EXPECT_EQ(formatFixed(-2.5, 0), "-3");
    EXPECT_EQ(formatFixed(-0.0004, 3), "0.000");
    EXPECT_EQ(formatFixed(0.05, 1), "0.1");
    EXPECT_EQ(formatFixed(859.2391, 1), "859.2");
    EXPECT_EQ(formatFixed(-12.0, 3), "-12.000");
}

TEST(NumberFormat, ParsesPlainDecimalsExactlyAndNothingElse) {
    EXPECT_EQ(parseDecimal("0.1").value, 0.1);
    EXPECT_EQ(parseDecimal("-61.5").value, -61.5);
    EXPECT_EQ(parseDecimal("+7").value, 7.0);
    EXPECT_EQ(parseDecimal(".5").value, 0.5);
    EXPECT_EQ(parseDecimal("99999999999999999999999").value, 1e23) << "long, but a number";
    for (const char* bad : {"", "-", ".", "1e3", "0x10", "1.2.3", "1,5", " 1", "inf", "nan"})
        EXPECT_EQ(parseDecimal(bad).status, NumberStatus::Malformed) << bad;
    EXPECT_EQ(parseInt32("-2147483648").value(), INT32_MIN);
    EXPECT_FALSE(parseInt32("2147483648").has_value());
    EXPECT_FALSE(parseInt32("12a").has_value());
}

}  // namespace
}  // namespace velt::drive
