#include "base/Escape.h"

#include <gtest/gtest.h>

namespace qil {
namespace {

using namespace std::string_literals;

TEST(Escape, HtmlTextEscapesMarkupAndOnlyTheAmpersandsThatStartAReference) {
  const std::string ordinary = "'abc' is not a valid integer value: /e.stmp?TA011=4&rnd=78&sub=01&a&\"\0\x1f"s;
  EXPECT_EQ(EscapeHtmlText(ordinary), ordinary);
  EXPECT_EQ(EscapeHtmlText("<script>&#60;&lt;&foo;&copy=1&notx"),
            "&lt;script&gt;&amp;#60;&amp;lt;&amp;foo;&amp;copy=1&amp;notx");
}

TEST(Escape, HtmlAttributeAlsoEscapesBothQuotes) {
  EXPECT_EQ(EscapeHtmlAttribute("gotoerror_h.html?a=1&b=2"), "gotoerror_h.html?a=1&b=2");
  EXPECT_EQ(EscapeHtmlAttribute("\"><img onerror='a&amp'>"), "&quot;&gt;&lt;img onerror=&#39;a&amp;amp&#39;&gt;");
}

TEST(Escape, UrlEncodingKeepsUnreservedAndNamedDelimitersOnly) {
  EXPECT_EQ(EncodeUrlInAttribute("A01-b.c_d~9"), "A01-b.c_d~9");
  EXPECT_EQ(EncodeUrlInAttribute("javascript:a(1) \"'<>%&=\0\xff"s),
            "javascript%3Aa%281%29%20%22%27%3C%3E%25%26%3D%00%FF");
  EXPECT_EQ(EncodeUrlInAttribute("action=gensheet&TA011=2&rnd=x=y", "&="), "action=gensheet&TA011=2&rnd=x=y");
  // Markup characters are encoded even when named; a kept "&" never starts a reference.
  EXPECT_EQ(EncodeUrlInAttribute("a=\"<'>&amp=1&#", "&=\"<'>#"), "a=%22%3C%27%3E&amp;amp=1&amp;#");
}

TEST(Escape, ScriptStringCannotEndTheStringOrTheScript) {
  EXPECT_EQ(EscapeScriptString("Problem added. 12/25 \xc3\xa9"), "Problem added. 12/25 \xc3\xa9");
  EXPECT_EQ(EscapeScriptString("\\\"';</script>&\n\r\x7f"), "\\\\\\x22\\x27;\\x3C/script\\x3E\\x26\\x0A\\x0D\\x7F");
  EXPECT_EQ(EscapeScriptString("a\xe2\x80\xa8|\xe2\x80\xa9|\xe2\x80"), "a\\u2028|\\u2029|\xe2\x80");
}

}  // namespace
}  // namespace qil
