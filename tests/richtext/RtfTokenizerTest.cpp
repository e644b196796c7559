// The RTF tokenizer: token kinds, exact raw bytes, and malformed input.
#include <gtest/gtest.h>

#include <vector>

#include "richtext/RtfTokenizer.h"

namespace qil {
namespace {

std::vector<RtfToken> Tokens(std::string_view text) {
  std::vector<RtfToken> tokens;
  RtfTokenizer tokenizer(text);
  for (RtfToken t = tokenizer.Next(); t.kind != RtfToken::End; t = tokenizer.Next()) tokens.push_back(t);
  return tokens;
}

std::string Joined(const std::vector<RtfToken>& tokens) {
  std::string out;
  for (const RtfToken& t : tokens) out += t.raw;
  return out;
}

TEST(RtfTokenizer, SplitsWordsSymbolsGroupsAndText) {
  const std::string_view text = "{\\rtf1\\f-12 Hi\\'e9\\~there\\par\r\n}";
  const std::vector<RtfToken> t = Tokens(text);
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t[0].kind, RtfToken::GroupOpen);
  EXPECT_TRUE(t[1].IsWord("rtf"));
  EXPECT_EQ(t[1].parameter, 1);
  EXPECT_FALSE(t[1].space_ended);
  EXPECT_TRUE(t[2].IsWord("f"));
  EXPECT_EQ(t[2].parameter, -12);
  EXPECT_TRUE(t[2].space_ended);
  EXPECT_EQ(t[2].raw, "\\f-12 ");
  EXPECT_EQ(t[3].kind, RtfToken::Text);
  EXPECT_EQ(t[3].raw, "Hi");
  EXPECT_EQ(t[4].kind, RtfToken::ControlSymbol);
  EXPECT_EQ(t[4].raw, "\\'e9");
  EXPECT_EQ(t[5].raw, "\\~");
  EXPECT_EQ(t[6].raw, "there");
  EXPECT_TRUE(t[7].IsWord("par"));
  EXPECT_FALSE(t[7].has_parameter);
  EXPECT_EQ(t[8].raw, "\r\n");
  EXPECT_EQ(t[9].kind, RtfToken::GroupClose);
  EXPECT_EQ(Joined(t), text);
}

TEST(RtfTokenizer, BinaryDataIsOneTokenEvenWithBraces) {
  const std::vector<RtfToken> t = Tokens("\\bin4 {}\\}x}");
  ASSERT_EQ(t.size(), 4u);
  EXPECT_TRUE(t[0].IsWord("bin"));
  EXPECT_EQ(t[1].kind, RtfToken::Binary);
  EXPECT_EQ(t[1].raw, "{}\\}");
  EXPECT_EQ(t[2].raw, "x");
  EXPECT_EQ(t[3].kind, RtfToken::GroupClose);

  const std::vector<RtfToken> short_data = Tokens("\\bin99 ab");
  ASSERT_EQ(short_data.size(), 2u);
  EXPECT_EQ(short_data[1].raw, "ab");
}

TEST(RtfTokenizer, MalformedEscapesAreBrokenTokensAndHugeNumbersAreClamped) {
  std::vector<RtfToken> t = Tokens("a\\'4");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].kind, RtfToken::Broken);
  EXPECT_EQ(t[2].raw, "4");

  t = Tokens("\\");
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].kind, RtfToken::Broken);

  t = Tokens("\\fs99999999999999999999x");
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].parameter, INT32_MAX);
  EXPECT_EQ(t[1].raw, "x");

  t = Tokens("\\b-x");  // a minus sign without digits is text
  ASSERT_EQ(t.size(), 2u);
  EXPECT_FALSE(t[0].has_parameter);
  EXPECT_EQ(t[1].raw, "-x");
}

TEST(RtfTokenizer, RecognisesOneBalancedGroup) {
  EXPECT_TRUE(IsOneBalancedGroup("{\\rtf1{\\b x}\\}{\\bin1 }}}")) << "the binary byte is no closer";
  EXPECT_FALSE(IsOneBalancedGroup("{\\rtf1{\\b x}"));
  EXPECT_FALSE(IsOneBalancedGroup("{a}}"));
  EXPECT_FALSE(IsOneBalancedGroup("{a}{b}"));
  EXPECT_FALSE(IsOneBalancedGroup("x{a}"));
  EXPECT_FALSE(IsOneBalancedGroup(""));
}

}  // namespace
}  // namespace qil
