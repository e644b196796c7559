#include "base/Convert.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/Text.h"

namespace qil {
namespace {

TEST(Convert, AcceptsDecimalIntegersOfThirtyTwoBits) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("000123"), 123);
  EXPECT_EQ(StrToInt("-42"), -42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("  9"), 9);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(Convert, RejectsEverythingElseWithTheConversionMessage) {
  for (const char* bad : {"", " ", "-", "abc", "12a", "1 ", "0x10", "$10", "2147483648",
                          "-2147483649", "99999999999999999999", "1.5", "١"}) {
    EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
    EXPECT_EQ(StrToIntDef(bad, -5), -5) << bad;
  }
  try {
    StrToInt("abc");
    FAIL() << "no exception";
  } catch (const ConvertError& error) {
    EXPECT_EQ(error.Message(), "'abc' is not a valid integer value");
  }
}

TEST(Convert, IntToStr) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-2147483648LL), "-2147483648");
}

TEST(Text, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_TRUE(SameText("Db/EndPoints.TXT", "db/endpoints.txt"));
  EXPECT_FALSE(SameText("\xC9", "\xE9"));
  EXPECT_LT(CompareText("apple", "Banana"), 0);
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_GT(CompareText("\xE9", "z"), 0);  // bytes compare unsigned
  EXPECT_TRUE(EndsText(".STMP", "a.stmp"));
  EXPECT_FALSE(StartsText("abc", "ab"));
}

TEST(Text, ReplaceAllDoesNotRescanReplacedText) {
  EXPECT_EQ(ReplaceAll("aXbX", "X", "XX"), "aXXbXX");
  EXPECT_EQ(ReplaceAll("M_imageM_image", "M_image", "s?gfx=M_image"),
            "s?gfx=M_images?gfx=M_image");
  EXPECT_EQ(ReplaceAll("none", "", "x"), "none");
}

}  // namespace
}  // namespace qil
