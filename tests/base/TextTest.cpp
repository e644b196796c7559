// The text helpers of base: number conversions, ASCII-only case folding,
// escaping for pages, the text forms of a Variant; and the memory stream.
#include "base/Text.h"

#include <gtest/gtest.h>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "base/Variant.h"

namespace qil {
namespace {

using namespace std::string_literals;

TEST(Convert, AcceptsDecimalIntegersOfThirtyTwoBitsOnly) {
  const std::pair<const char*, int32_t> good[] = {{"000123", 123}, {"-42", -42}, {"+7", 7}, {"  9", 9},
                                                  {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : good) EXPECT_EQ(StrToInt(text), value) << text;
  for (const char* bad : {"", " ", "-", "12a", "1 ", "0x10", "$10", "2147483648", "-2147483649",
                          "99999999999999999999", "1.5", "١"}) {
    EXPECT_EQ(StrToIntDef(bad, -5), -5) << bad;
  }
  try {
    StrToInt("abc");
    ADD_FAILURE() << "no exception";
  } catch (const ConvertError& error) {
    EXPECT_EQ(error.Message(), "'abc' is not a valid integer value");
  }
  EXPECT_EQ(IntToStr(-2147483648LL), "-2147483648");
  EXPECT_EQ(Variant(-12).ToString() + Variant().ToString() + Variant("007").ToString(), "-12007");
}

TEST(Text, CaseFoldingTouchesAsciiLettersOnlyAndReplaceAllDoesNotRescan) {
  EXPECT_TRUE(SameText("Db/EndPoints.TXT", "db/endpoints.txt") && !SameText("\xC9", "\xE9"));
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_GT(CompareText("\xE9", "z"), 0);  // bytes compare unsigned
  EXPECT_EQ(ReplaceAll("M_imageM_image", "M_image", "s?gfx=M_image"), "s?gfx=M_images?gfx=M_image");
  EXPECT_EQ(ReplaceAll("none", "", "x"), "none");
}

TEST(MemoryStream, WritesOverwriteThenGrowAndReadsStopAtTheEnd) {
  MemoryStream stream("hello");
  stream.SetPosition(3);
  stream.Write("PING");
  stream.SetPosition(9);  // past the end: the gap is zero-filled
  stream.Write("!");
  EXPECT_EQ(stream.Bytes(), std::string("helPING\0\0!", 10));
  char buffer[4];
  stream.SetPosition(3);
  EXPECT_EQ(stream.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "PING");
  EXPECT_EQ(stream.Read(buffer, 4), 3u);
  EXPECT_EQ(stream.Read(buffer, 4), 0u);
  stream.SetSize(2);
  EXPECT_EQ(stream.Position(), 2u);
  EXPECT_EQ(stream.Take(), "he");
  EXPECT_EQ(stream.Size(), 0u);
}

TEST(Escape, MarkupAttributesAndUrlsInPages) {
  // HTML text: markup, and only the ampersands that would start a reference.
  const std::string ordinary = "'abc' is not a valid integer value: /e.stmp?TA011=4&rnd=78&sub=01&a&\"\0\x1f"s;
  EXPECT_EQ(EscapeHtmlText(ordinary), ordinary);
  EXPECT_EQ(EscapeHtmlText("<script>&#60;&lt;&foo;&copy=1&notx"),
            "&lt;script&gt;&amp;#60;&amp;lt;&amp;foo;&amp;copy=1&amp;notx");
  // Attributes: both quotes too.
  EXPECT_EQ(EscapeHtmlAttribute("gotoerror_h.html?a=1&b=2"), "gotoerror_h.html?a=1&b=2");
  EXPECT_EQ(EscapeHtmlAttribute("\"><img onerror='a&amp'>"), "&quot;&gt;&lt;img onerror=&#39;a&amp;amp&#39;&gt;");
  // URLs keep the unreserved characters and the named delimiters only.
  EXPECT_EQ(EncodeUrlInAttribute("A01-b.c_d~9"), "A01-b.c_d~9");
  EXPECT_EQ(EncodeUrlInAttribute("javascript:a(1) \"'<>%&=\0\xff"s),
            "javascript%3Aa%281%29%20%22%27%3C%3E%25%26%3D%00%FF");
  EXPECT_EQ(EncodeUrlInAttribute("action=gensheet&TA011=2&rnd=x=y", "&="), "action=gensheet&TA011=2&rnd=x=y");
  // Markup characters are encoded even when named; a kept "&" never starts a reference.
  EXPECT_EQ(EncodeUrlInAttribute("a=\"<'>&amp=1&#", "&=\"<'>#"), "a=%22%3C%27%3E&amp;amp=1&amp;#");
}

}  // namespace
}  // namespace qil
