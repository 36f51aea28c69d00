// Decimal conversion of INI values.
#include <gtest/gtest.h>

#include <cstdint>

#include "config/decimal.h"

namespace {

TEST(ConfigDecimal, Int32Forms) {
  EXPECT_EQ(DecimalToInt32("12abc"), 12);
  EXPECT_EQ(DecimalToInt32("abc"), 0);
  EXPECT_EQ(DecimalToInt32(""), 0);
  EXPECT_EQ(DecimalToInt32("-"), 0);
  EXPECT_EQ(DecimalToInt32(" \t\r\n\v\f-42"), -42);
  EXPECT_EQ(DecimalToInt32("+7"), 7);
  EXPECT_EQ(DecimalToInt32("+-7"), 0);  // one sign only
  EXPECT_EQ(DecimalToInt32("- 7"), 0);  // no blanks after the sign
  EXPECT_EQ(DecimalToInt32("0007"), 7);
  EXPECT_EQ(DecimalToInt32("3 4"), 3);
}

TEST(ConfigDecimal, Int32Saturates) {
  EXPECT_EQ(DecimalToInt32("2147483647"), INT32_MAX);
  EXPECT_EQ(DecimalToInt32("2147483648"), INT32_MAX);
  EXPECT_EQ(DecimalToInt32("-2147483648"), INT32_MIN);
  EXPECT_EQ(DecimalToInt32("-2147483649"), INT32_MIN);
  EXPECT_EQ(DecimalToInt32("4294967296"), INT32_MAX);  // no wrap to 0
  EXPECT_EQ(DecimalToInt32("99999999999999999999999999999"), INT32_MAX);
  EXPECT_EQ(DecimalToInt32("-99999999999999999999999999999"), INT32_MIN);
}

TEST(ConfigDecimal, UInt64) {
  EXPECT_EQ(DecimalToUInt64("  123456789012x"), 123456789012u);
  EXPECT_EQ(DecimalToUInt64("nope"), 0u);
  EXPECT_EQ(DecimalToUInt64("-5"), 0u);
  EXPECT_EQ(DecimalToUInt64("18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(DecimalToUInt64("18446744073709551614"), UINT64_MAX - 1);
  EXPECT_EQ(DecimalToUInt64("18446744073709551616"), UINT64_MAX);
  EXPECT_EQ(DecimalToUInt64("99999999999999999999999"), UINT64_MAX);
}

}  // namespace
