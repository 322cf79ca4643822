#include "quote/cell_number.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace pelmo {
namespace {

TEST(IntegerValueTest, ReadsLeadingNumberOnly) {
  EXPECT_EQ(IntegerValue("2007"), 2007);
  EXPECT_EQ(IntegerValue(" \t\n-12x"), -12);
  EXPECT_EQ(IntegerValue("+7"), 7);
  EXPECT_EQ(IntegerValue("x12"), 0);
  EXPECT_EQ(IntegerValue(""), 0);
  EXPECT_EQ(IntegerValue("- 5"), 0);
  EXPECT_EQ(IntegerValue("1.9"), 1);
}

TEST(IntegerValueTest, StopsAtGivenBytes) {
  const std::string text = "12345";
  EXPECT_EQ(IntegerValue(std::string_view(text).substr(0, 2)), 12);
}

TEST(IntegerValueTest, ClampsHugeNumbers) {
  EXPECT_EQ(IntegerValue("2147483647"), std::numeric_limits<int>::max());
  EXPECT_EQ(IntegerValue("2147483648"), std::numeric_limits<int>::max());
  EXPECT_EQ(IntegerValue("-2147483648"), std::numeric_limits<int>::min());
  EXPECT_EQ(IntegerValue("-99999999999999999999999"), std::numeric_limits<int>::min());
  EXPECT_EQ(IntegerValue(std::string(100000, '9')), std::numeric_limits<int>::max());
}

TEST(DecimalValueTest, ReadsFractionAndExponent) {
  EXPECT_EQ(DecimalValue("1234"), 1234.0);
  EXPECT_EQ(DecimalValue(" -1.5e3x"), -1500.0);
  EXPECT_EQ(DecimalValue(".5"), 0.5);
  EXPECT_EQ(DecimalValue("5."), 5.0);
  EXPECT_EQ(DecimalValue("2e"), 2.0);
  EXPECT_EQ(DecimalValue("2e+"), 2.0);
  EXPECT_EQ(DecimalValue("1234 "), 1234.0);
}

TEST(DecimalValueTest, NoDigitsGivesZero) {
  EXPECT_EQ(DecimalValue(""), 0.0);
  EXPECT_EQ(DecimalValue("-"), 0.0);
  EXPECT_EQ(DecimalValue("."), 0.0);
  EXPECT_EQ(DecimalValue("e5"), 0.0);
  EXPECT_EQ(DecimalValue("inf"), 0.0);
  EXPECT_EQ(DecimalValue("nan"), 0.0);
  // Only the leading zero of a hexadecimal form is a number.
  EXPECT_EQ(DecimalValue("0x10"), 0.0);
}

TEST(DecimalValueTest, StopsAtGivenBytes) {
  const std::string text = "12.75e2";
  EXPECT_EQ(DecimalValue(std::string_view(text).substr(0, 4)), 12.7);
}

TEST(DecimalValueTest, HugeNumbers) {
  EXPECT_EQ(DecimalValue("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(DecimalValue("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(DecimalValue("1e-999"), 0.0);
  EXPECT_EQ(DecimalValue("1" + std::string(1000000, '0')), std::numeric_limits<double>::infinity());
  // More digits than 64 bits hold, on both sides of the point.
  EXPECT_EQ(DecimalValue("98765432109876543210987.5"), 98765432109876543210987.5);
  EXPECT_EQ(DecimalValue("0.00000000000000000000012345678901234567891"),
            std::strtod("0.00000000000000000000012345678901234567891", nullptr));
}

TEST(DecimalValueTest, SameDoubleAsStrtodOnRandomNumbers) {
  std::mt19937 random(19900101);
  const std::string signs[] = {"", "-", "+"};
  for (int round = 0; round < 50000; ++round) {
    // Up to 18 digits around an optional point, so that both the short numbers of the pages
    // and ones too long to be exact are read; now and then an exponent.
    std::string text = signs[random() % 3];
    const int whole = static_cast<int>(random() % 12);
    const int fraction = static_cast<int>(random() % 8) - 1;
    for (int i = 0; i < whole; ++i) {
      text += static_cast<char>('0' + random() % 10);
    }
    if (fraction >= 0) {
      text += '.';
      for (int i = 0; i < fraction; ++i) {
        text += static_cast<char>('0' + random() % 10);
      }
    }
    if (random() % 8 == 0) {
      text += 'e';
      text += std::to_string(static_cast<int>(random() % 41) - 20);
    }
    // Without a digit before the exponent nothing is converted, which is +0 by the C
    // standard; the Windows C library gives -0 for "-." instead.
    const bool hasDigit =
        text.substr(0, text.find('e')).find_first_of("0123456789") != std::string::npos;
    const double expected = hasDigit ? std::strtod(text.c_str(), nullptr) : 0.0;
    const double got = DecimalValue(text + ",5");
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
        << text << " gave " << got << ", strtod " << expected;
  }
}

TEST(NarrowToFloatTest, RoundsAndOverflowsToInfinity) {
  EXPECT_EQ(NarrowToFloat(123456789.0), 123456792.0f);
  EXPECT_EQ(NarrowToFloat(std::numeric_limits<float>::max()), std::numeric_limits<float>::max());
  EXPECT_EQ(NarrowToFloat(0x1.fffffefffffffp+127), std::numeric_limits<float>::max());
  EXPECT_EQ(NarrowToFloat(0x1.ffffffp+127), std::numeric_limits<float>::infinity());
  EXPECT_EQ(NarrowToFloat(-1e300), -std::numeric_limits<float>::infinity());
  EXPECT_TRUE(std::isnan(NarrowToFloat(std::nan(""))));
}

}  // namespace
}  // namespace pelmo
