// The RTF tokenizer: token kinds, exact raw bytes, and malformed input.
#include "richtext/RtfTokenizer.h"

#include <gtest/gtest.h>

namespace qil {
namespace {

// Every token as its kind's letter and its raw bytes in brackets; a control
// word adds its name, "=N" for a parameter and "_" when a space ended it.
std::string Tokens(std::string_view text) {
  std::string out, joined;
  RtfTokenizer tokenizer(text);
  for (RtfToken t = tokenizer.Next(); t.kind != RtfToken::End; t = tokenizer.Next()) {
    out += " " + std::string(1, "E{}WSBTX"[t.kind]);
    if (t.kind == RtfToken::ControlWord) {
      out += std::string(t.name) + (t.has_parameter ? "=" + std::to_string(t.parameter) : "") + (t.space_ended ? "_" : "");
    }
    out += "[" + std::string(t.raw) + "]";
    joined += t.raw;
  }
  EXPECT_EQ(joined, text) << "the tokens' raw bytes are the input";
  return out;
}

TEST(RtfTokenizer, SplitsGroupsWordsSymbolsBinaryDataAndText) {
  EXPECT_EQ(Tokens("{\\rtf1\\f-12 Hi\\'e9\\~there\\par\r\n}"),
            " {[{] Wrtf=1[\\rtf1] Wf=-12_[\\f-12 ] T[Hi] S[\\'e9] S[\\~] T[there] Wpar[\\par] T[\r\n] }[}]");
  EXPECT_EQ(Tokens("\\b-x\\fs99999999999999999999x"), " Wb[\\b] T[-x] Wfs=2147483647[\\fs99999999999999999999] T[x]");
  EXPECT_EQ(Tokens("\\bin4 {}\\}x}"), " Wbin=4_[\\bin4 ] B[{}\\}] T[x] }[}]");  // braces in binary data are data
  EXPECT_EQ(Tokens("\\bin99 ab"), " Wbin=99_[\\bin99 ] B[ab]");
  EXPECT_EQ(Tokens("a\\'4"), " T[a] X[\\'] T[4]");  // malformed escapes are Broken tokens
  EXPECT_EQ(Tokens("\\"), " X[\\]");
}

TEST(RtfTokenizer, RecognisesOneBalancedGroup) {
  EXPECT_TRUE(IsOneBalancedGroup("{\\rtf1{\\b x}\\}{\\bin1 }}}")) << "the binary byte is no closer";
  for (const char* text : {"{\\rtf1{\\b x}", "{a}}", "{a}{b}", "x{a}", ""}) EXPECT_FALSE(IsOneBalancedGroup(text)) << text;
}

}  // namespace
}  // namespace qil
