// Request values that pages repeat, served by the engine over the browsing
// test disc with the demo disc's own templates (each value lands where the
// real pages put it), plus a template that no module serves.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/Escape.h"
#include "modules/BrowseDisc.h"
#include "protocol/PlatformURL.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"

namespace qil {
namespace {

class PageEscaping : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    disc_ = std::make_unique<test::BrowseDisc>();
    for (std::string name : {"mathlist", "solution", "mathgoto", "edit1", "wadd", "clipbo"}) {
      name += ".stmp";
      test::WriteFile(disc_->Source() / name, test::ReadBytes(QIL_DISC_TEMPLATES "/" + name));
    }
    test::WriteFile(disc_->Source() / "nomodule.stmp", "<%%template%%>");
    EngineOptions options;
    options.ArchivePath = disc_->PackHere().string();
    std::string error;
    engine_ = StartEngine(options, error);
    ASSERT_NE(engine_, nullptr) << error;
  }
  static void TearDownTestSuite() {
    engine_.reset();
    disc_.reset();
  }
  static std::string Body(const std::string& path) {
    return FetchAddress("qilproto://qilproto_local/" + path).Body;
  }
  static inline std::unique_ptr<test::BrowseDisc> disc_;
  static inline std::unique_ptr<Engine> engine_;
};

TEST_F(PageEscaping, HostileValuesShowAsTextAndOpenNoMarkup) {
  struct Page {
    std::string before, after;  // the address around the value
    bool attribute;             // the value lands in an attribute: quotes must not change either
    std::string shows;          // {T}: the value escaped as text, {U} and {Q}: encoded for a URL
  };
  const Page pages[] = {
      {"mathlist.stmp?main=A&sub=01", "", true, "data-topic=\"A01{U}\">"},
      {"mathlist.stmp?main=A&sub=01", "", true, "href=\"topics/A01{U}.htm\">A01{U}</a>"},
      {"solution.stmp?id=", "", false, "\"/solution.stmp?id={T}\"\r\n'{T}' is not a valid integer value"},
      {"mathlist.stmp?start=", "", false, "'{T}' is not a valid integer value"},
      {"wadd.stmp?id=", "", false, "'{T}' is not a valid integer value"},
      {"clipbo.stmp?type=", "", false, "non-existing section \"{T}_head\""},
      {"nomodule.stmp?q=", "", false, "not found for template: \"/nomodule.stmp?q={T}\""},
      {"edit1.stmp?action=gensheet_main&rnd=", "&TA011=1", true, "src=\"edit1.stmp?action=gensheet&rnd={Q}&TA011=1\""},
      {"mathgoto.stmp?goto=", "", true, "content=\"0;url=gotoerror_h.html\""}};
  // As written in the address: the protocol handler decodes "%XX" before the pages see it.
  const std::string values[] = {"<script>alert(1)</script>", "\"><img src=x onerror=alert(1)>", "';alert(1)//",
                                "javascript:alert(1)", "%3Cscript%3E", "%00%01%1F%7F\t",
                                std::string(600, '<') + std::string(600, '"')};
  const auto count = [](const std::string& text, char c) { return std::count(text.begin(), text.end(), c); };
  for (const Page& page : pages) {
    const std::string plain = Body(page.before + "x" + page.after);
    for (const std::string& value : values) {
      SCOPED_TRACE(page.before + value);
      const std::string body = Body(page.before + value + page.after);
      for (char c : std::string(page.attribute ? "<>\"'" : "<>")) EXPECT_EQ(count(body, c), count(plain, c)) << c;
      const std::string seen = UrlDecode(value);
      const std::pair<std::string, std::string> marks[] = {
          {"{T}", EscapeHtmlText(seen)}, {"{U}", EncodeUrlInAttribute(seen)}, {"{Q}", EncodeUrlInAttribute(seen, "&=")}};
      std::string shows = page.shows;
      for (const auto& [mark, text] : marks) {
        for (size_t at; (at = shows.find(mark)) != std::string::npos;) shows.replace(at, 3, text);
      }
      EXPECT_NE(body.find(shows), std::string::npos) << shows << "\n" << body.substr(0, 1000);
    }
  }
}

TEST_F(PageEscaping, LinksReadBackTheRequestsValues) {
  // The frame's address, loaded by the browser, gives the module the same items again.
  const std::string body = Body("edit1.stmp?action=gensheet_main&rnd=a b\"<>%25&amp=1&TA011=2");
  const size_t from = body.find("src=\"edit1.stmp?") + 16;
  EXPECT_EQ(UrlDecode(body.substr(from, body.find('"', from) - from)),
            "action=gensheet&rnd=a b\"<>%&amp;amp=1&TA011=2");  // "&amp;" reads as "&" in the attribute
  EXPECT_NE(Body("solution.stmp?id=+6").find("href=\"wadd.stmp?id=%2B6\""), std::string::npos);
}

}  // namespace
}  // namespace qil
