// Request values that pages repeat, served with the demo disc's own templates,
// so that each value lands where the real pages put it. (The error page's
// escaping is the module manager's, tested with it.)
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Escape.h"
#include "modules/PageDisc.h"
#include "protocol/PlatformURL.h"

namespace qil {
namespace {

// How many of the characters that open or end markup text holds.
std::string Markup(const std::string& text) {
  std::string counts;
  for (char c : std::string("<>\"'")) counts += std::to_string(std::count(text.begin(), text.end(), c)) + " ";
  return counts;
}

TEST(PageEscaping, RequestValuesLandEncodedWhereTheDiscsTemplatesPutThem) {
  std::map<std::string, std::string> templates;
  for (std::string name : {"mathlist", "solution", "mathgoto", "edit1"}) {
    templates[name + ".stmp"] = test::ReadBytes(QIL_DISC_TEMPLATES "/" + name + ".stmp");
  }
  test::PageDisc disc(templates, [](test::BankSource& bank) {
    bank.SetEndpoints({"A01=Plain", "\"<'=Odd"});  // a code that holds markup
    for (const char* code : {"A011", "\"<'1"}) bank.AddProblem(code, "1", {{"P.htm", "text"}});
  });
  // As written in the address: the protocol handler decodes "%XX" before the pages see it.
  const std::string values[] = {"<script>alert(1)</script>", "\"><img src=x onerror=alert(1)>", "';alert(1)//",
                                "javascript:alert(1)", "%3Cscript%3E", "%00%01%1F%7F\t",
                                std::string(600, '<') + std::string(600, '"')};
  const std::string frame = "edit1.stmp?action=gensheet_main&TA011=1&rnd=", plain_frame = disc.Get(frame + "x");
  const std::string plain_goto = disc.Get("mathgoto.stmp?goto=x");
  for (const std::string& value : values) {
    const std::string page = disc.Get(frame + value);
    EXPECT_EQ(Markup(page), Markup(plain_frame)) << value;
    EXPECT_NE(page.find("src=\"edit1.stmp?action=gensheet&TA011=1&rnd=" + EncodeUrlInAttribute(UrlDecode(value), "&=") + "\""),
              std::string::npos) << page;
    EXPECT_EQ(disc.Get("mathgoto.stmp?goto=" + value), plain_goto);  // the redirect repeats nothing
  }
  // The frame's address, loaded by the browser, gives the module the same items again.
  const std::string page = disc.Get("edit1.stmp?action=gensheet_main&rnd=a b\"<>%25&amp=1&TA011=2");
  const size_t from = page.find("src=\"edit1.stmp?") + 16;
  EXPECT_EQ(UrlDecode(page.substr(from, page.find('"', from) - from)),
            "action=gensheet&rnd=a b\"<>%&amp;amp=1&TA011=2");  // "&amp;" reads as "&" in the attribute

  // The list's endpoint goes into text, an attribute and a link's path, percent-encoded.
  const std::string odd = disc.Get("mathlist.stmp?main=\"&sub=<'");
  EXPECT_NE(odd.find("data-topic=\"%22%3C%27\">"), std::string::npos) << odd;
  EXPECT_NE(odd.find("href=\"topics/%22%3C%27.htm\">%22%3C%27</a>"), std::string::npos) << odd;
  EXPECT_EQ(Markup(odd), Markup(disc.Get("mathlist.stmp?main=A&sub=01")));
  // The problem page's id goes into its links as written, percent-encoded.
  const std::string problem = disc.Get("solution.stmp?id=+0");
  EXPECT_NE(problem.find("href=\"wadd.stmp?id=%2B0\""), std::string::npos);
  EXPECT_NE(problem.find("href=\"clipbo.stmp?type=b&amp;id=%2B0\""), std::string::npos);
}

}  // namespace
}  // namespace qil
