// The clipboard page end to end: a small disc packed with `qilcd pack` and
// driven through one `qilcd session --clipboard FILE` per test (path of qilcd
// in the environment variable QILCD), reading the clipboard file after every
// answer. The templates are tiny RTF documents with plain markers; every test
// picture has its own width, so the \picwgoal values (width x 15) tell which
// picture a group holds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "base/MemoryStream.h"
#include "common/Qilcd.h"
#include "framework/ModuleManager.h"
#include "mathdb/BankFixture.h"
#include "modules/PictureTestFiles.h"
#include "platform/headless/HeadlessPlatform.h"
#include "richtext/RichTextEditor.h"
#include "richtext/RtfTokenizer.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"

namespace qil {
namespace {

namespace fs = std::filesystem;
using testfiles::EncodeBMP;
using testfiles::EncodeJPEG;
using testfiles::EncodePNG;
using testfiles::Gzip;
using testfiles::MakePlaceableMetafile;

// \picwgoal of each test picture: its width in pixels times 15.
constexpr int kJpg = 180;  // M_image1.jpg, 12 px: problem and solution of position 0
constexpr int kPng = 150;  // M_image2.png, 10 px: problem of position 0
constexpr int kBmp = 210;  // M_image3.bmp, 14 px: solution of position 0
constexpr int kWmf = 300;  // M_image1.wmf, 20 px: problem of position 1
constexpr int kWmz = 330;  // M_image2.wmz, 22 px: solution of position 1

std::string Section(const std::string& name, const std::string& text) {
  return "<%section name=" + name + "%>" + text + "<%/section%>\r\n";
}

std::string WorksheetSections(const std::string& type, const std::string& marker) {
  return Section(type + "_head", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}HEAD-" + marker +
                                     " <%=productname%>\\par}") +
         Section(type + "_body",
                 "{\\rtf1\\ansi{\\fonttbl{\\f0 Courier New;}}BODY <%=wnum%>. #<%=num%> L<%=level%> "
                 "E<%=endpname%> [<%=productname%>]\\par <%=problem%>|<%=solution%>\\par}");
}

// The template "clipbo"; complete: false leaves out "resp" and "copyright".
std::string ClipboTemplate(bool complete) {
  std::string text = "<%%template%%>\r\n" +
                     Section("copy_pr", "{\\rtf1\\ansi PR <%=productname%> #<%=num%> L<%=level%> "
                                        "E<%=endpname%>\\par <%=problem%>}") +
                     Section("copy_sol", "{\\rtf1\\ansi SOL #<%=num%>\\par <%=solution%>}") +
                     // The document ends at a zero byte, as a zero-terminated text does.
                     Section("copy_pr_sol", "{\\rtf1\\ansi BOTH #<%=num%>\\par <%=problem%>\\par "
                                            "ANSWER\\par <%=solution%>}" + std::string("\0{junk", 6)) +
                     WorksheetSections("cl_pr", "PR") + WorksheetSections("cl_pr_num", "NUM") +
                     WorksheetSections("cl_w_sol", "BOTH") + WorksheetSections("cl_sol", "SOL") +
                     WorksheetSections("cl_list", "LIST");
  if (complete) {
    text += Section("copyright", "{\\rtf1\\ansi CLOSING\\par}") + Section("resp", "<html>copied</html>");
  }
  return text;
}

// Positions: 0 A011/1, 1 A012/1, 2 B023/1, 3 B023/2.
void WriteClipboardDisc(const fs::path& root, bool complete) {
  test::BankSource bank(root);
  bank.SetEndpoints({"A01=Alpha", "B02=Beta"});
  bank.SetDbFile("menuid.txt", "sA01=a01.htm\r\n");
  // The page shows M_image2 first; the copy orders by file name.
  bank.AddProblem("A011", "1",
                  {{"P.htm", "<img src=\"M_image2.png\"><img src=\"M_image1.jpg\">"},
                   {"S.htm", "<img src=\"M_image3.bmp\"><img src=\"M_image1.jpg\">"},
                   {"M_image1.jpg", EncodeJPEG(12, 5)},
                   {"M_image2.png", EncodePNG(10, 7)},
                   {"M_image3.bmp", EncodeBMP(14, 3, 24)}});
  // An unsupported format and a ".wmz" that is not gzip are left out.
  bank.AddProblem("A012", "1",
                  {{"P.htm", "<img src=\"M_image1.wmf\"><img src=\"M_image3.gif\">"},
                   {"S.htm", "<img src=\"M_image2.wmz\"><img src=\"M_image4.wmz\">"},
                   {"M_image1.wmf", MakePlaceableMetafile(20, 8, 96, 81)},
                   {"M_image2.wmz", Gzip(MakePlaceableMetafile(22, 9, 96, 40))},
                   {"M_image3.gif", "GIF89a"},
                   {"M_image4.wmz", "plain bytes, not gzip"}});
  bank.AddProblem("B023", "1", {{"P.htm", "no pictures"}, {"S.htm", "none either"}});
  // A PNG that cannot be decoded on the problem page only.
  bank.AddProblem("B023", "2",
                  {{"P.htm", "<img src=\"M_image1.png\">"},
                   {"S.htm", "<img src=\"M_image2.jpg\">"},
                   {"M_image1.png", std::string("\x89PNG\r\n\x1a\n", 8) + "broken"},
                   {"M_image2.jpg", EncodeJPEG(12, 5)}});
  test::WriteFile(root / "clipbo.stmp", ClipboTemplate(complete));
  test::WriteFile(root / "wadd.stmp",
                  "<%%template%%><%section name=addtows%><%=alerttext%><%/section%>");
}

// One `qilcd session` run, fed one address at a time.
class QilcdClipboard {
 public:
  QilcdClipboard(const fs::path& dir, const std::string& clipboard)
      : qilcd_({"session", "--clipboard", clipboard}, dir) {}

  // The answer's body; the status line must be "200 text/html SIZE".
  std::string Get(const std::string& address) {
    if (!qilcd_.Started()) {
      ADD_FAILURE() << "qilcd did not start";
      return "";
    }
    const std::optional<test::SessionAnswer> answer = qilcd_.Ask(address);
    if (!answer) {
      ADD_FAILURE() << "no answer for " << address;
      return "";
    }
    EXPECT_EQ(answer->status + " " + answer->mime, "200 text/html") << address;
    return answer->body;
  }

 private:
  test::QilcdSession qilcd_;
};

int Occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The \picwgoal of every picture group, in document order; a group without
// one counts as -1.
std::vector<int> Pictures(const std::string& document) {
  std::vector<int> widths;
  for (size_t at = document.find("{\\pict"); at != std::string::npos;
       at = document.find("{\\pict", at + 1)) {
    const size_t goal = document.find("\\picwgoal", at);
    const size_t end = document.find('}', at);
    widths.push_back(goal < end ? std::atoi(document.c_str() + goal + 9) : -1);
  }
  return widths;
}

// Whether the parts occur in this order, each once.
void ExpectInOrder(const std::string& document, const std::vector<std::string>& parts) {
  size_t from = 0;
  for (const std::string& part : parts) {
    EXPECT_EQ(Occurrences(document, part), 1) << part << " in\n" << document;
    const size_t at = document.find(part, from);
    ASSERT_NE(at, std::string::npos) << part << " out of order in\n" << document;
    from = at + part.size();
  }
}

const std::string kResp = "<html>copied</html>";
const std::string kErrorPage = "<pre>Error executing template script: ";

class ClipboardSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (test::QilcdPath().empty()) return;
    dir_ = new test::TempDir();
    for (const bool complete : {true, false}) {
      const std::string name = complete ? "math.dat" : "partial.dat";
      WriteClipboardDisc(dir_->Path() / "src", complete);
      const test::QilcdRun pack = test::RunQilcd({"pack", "src", name}, "", dir_->Path());
      ASSERT_EQ(pack.exit_code, 0) << pack.err;
    }
    fs::create_directories(dir_->Path() / "partial");
    fs::rename(dir_->Path() / "partial.dat", dir_->Path() / "partial" / "math.dat");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    fs::remove(Clipboard());
  }

  std::unique_ptr<QilcdClipboard> Start(const std::string& folder = ".",
                                 const std::string& clipboard = "clip.rtf") {
    return std::make_unique<QilcdClipboard>(dir_->Path() / folder, clipboard);
  }
  static fs::path Clipboard() { return dir_->Path() / "clip.rtf"; }
  static std::string ClipboardText() { return test::ReadBytes(Clipboard().string()); }

  static test::TempDir* dir_;
};

test::TempDir* ClipboardSession::dir_ = nullptr;

TEST_F(ClipboardSession, OneProblemThroughItsSectionWithEveryPictureOfBothParts) {
  auto session = Start();
  ASSERT_EQ(session->Get("clipbo.stmp?id=0"), kResp);
  const std::string problem = ClipboardText();
  EXPECT_TRUE(problem.starts_with("{\\rtf1\\ansi PR Orvella #1 L1 EAlpha\\par \r\n\\par{\\pict")) << problem;
  EXPECT_TRUE(IsOneBalancedGroup(problem)) << problem;
  EXPECT_EQ(problem.find('\0'), std::string::npos);
  EXPECT_EQ(Pictures(problem), (std::vector<int>{kJpg, kPng}));

  ASSERT_EQ(session->Get("clipbo.stmp?type=p&id=0"), kResp);
  EXPECT_EQ(ClipboardText(), problem);

  ASSERT_EQ(session->Get("clipbo.stmp?type=s&id=000000"), kResp);
  EXPECT_TRUE(ClipboardText().starts_with("{\\rtf1\\ansi SOL #1\\par "));
  EXPECT_EQ(Pictures(ClipboardText()), (std::vector<int>{kJpg, kBmp}));

  ASSERT_EQ(session->Get("clipbo.stmp?type=b&id=0"), kResp);
  EXPECT_TRUE(IsOneBalancedGroup(ClipboardText())) << ClipboardText();
  EXPECT_EQ(Pictures(ClipboardText()), (std::vector<int>{kJpg, kPng, kJpg, kBmp}));

  // Metafiles are embedded; a ".gif" and a ".wmz" that is not gzip are left out.
  ASSERT_EQ(session->Get("clipbo.stmp?type=b&id=1"), kResp);
  EXPECT_TRUE(IsOneBalancedGroup(ClipboardText()));
  EXPECT_EQ(Pictures(ClipboardText()), (std::vector<int>{kWmf, kWmz}));
  EXPECT_NE(ClipboardText().find("\\picw529\\pich212\\picwgoal300\\pichgoal120\r\n"),
            std::string::npos);

  ASSERT_EQ(session->Get("clipbo.stmp?type=p&id=2"), kResp);
  EXPECT_EQ(ClipboardText(), "{\\rtf1\\ansi PR Orvella #3 L3 EBeta\\par }");

  // An id beyond the index copies the section with empty values.
  ASSERT_EQ(session->Get("clipbo.stmp?type=p&id=1233"), kResp);
  EXPECT_EQ(ClipboardText(), "{\\rtf1\\ansi PR Orvella #1,234 L E\\par }");
}

TEST_F(ClipboardSession, WorksheetPerTypeWithoutEarlierCopies) {
  auto session = Start();
  // An empty worksheet: the head and the closing fragment only.
  ASSERT_EQ(session->Get("clipbo.stmp?type=cl_pr"), kResp);
  std::string document = ClipboardText();
  EXPECT_TRUE(IsOneBalancedGroup(document)) << document;
  ExpectInOrder(document, {"{\\rtf1", "HEAD-PR Orvella", "CLOSING"});
  EXPECT_EQ(Occurrences(document, "BODY"), 0);

  for (const char* id : {"0", "2", "1"}) {
    ASSERT_EQ(session->Get(std::string("wadd.stmp?id=") + id), "Problem added to Worksheet.");
  }
  const std::vector<std::string> bodies = {"BODY 1. #1 L1 EAlpha []", "BODY 2. #3 L3 EBeta []",
                                           "BODY 3. #2 L2 EAlpha []"};
  struct Case {
    std::string type, marker;
    std::vector<int> pictures;
  };
  const std::vector<Case> cases = {
      {"cl_pr", "PR", {kJpg, kPng, kWmf}},
      {"cl_pr_num", "NUM", {kJpg, kPng, kWmf}},
      {"cl_w_sol", "BOTH", {kJpg, kPng, kJpg, kBmp, kWmf, kWmz}},
      {"cl_sol", "SOL", {kJpg, kBmp, kWmz}},
      {"cl_list", "LIST", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ASSERT_EQ(session->Get("clipbo.stmp?type=" + c.type), kResp);
    document = ClipboardText();
    EXPECT_TRUE(IsOneBalancedGroup(document)) << document;
    ExpectInOrder(document, {"{\\rtf1", "HEAD-" + c.marker + " Orvella", bodies[0], bodies[1],
                             bodies[2], "CLOSING"});
    EXPECT_EQ(Pictures(document), c.pictures);
    // Nothing of the copies before.
    EXPECT_EQ(Occurrences(document, "HEAD-"), 1);
    EXPECT_EQ(Occurrences(document, "BODY"), 3);
  }
}

TEST_F(ClipboardSession, FailedRequestsLeaveTheClipboardAsItWas) {
  auto session = Start();
  ASSERT_EQ(session->Get("clipbo.stmp?type=p&id=2"), kResp);
  const std::string copied = ClipboardText();
  ASSERT_FALSE(copied.empty());

  const std::vector<std::pair<std::string, std::string>> failures = {
      {"clipbo.stmp?type=p", "'' is not a valid integer value"},
      {"clipbo.stmp?type=s&id=abc", "'abc' is not a valid integer value"},
      {"clipbo.stmp?type=b&id=99999999999", "'99999999999' is not a valid integer value"},
      {"clipbo.stmp?type=s&id=3", ""},  // the problem page's PNG cannot be decoded
      {"clipbo.stmp?type=P&id=0", "Trying to reference non-existing section \"P_head\""},
  };
  for (const auto& [address, message] : failures) {
    const std::string page = session->Get(address);
    EXPECT_TRUE(page.starts_with(kErrorPage)) << address << ": " << page;
    EXPECT_NE(page.find(message), std::string::npos) << address << ": " << page;
    EXPECT_EQ(ClipboardText(), copied) << address;
  }

  // A worksheet copy that fails half-way leaves nothing for the next one.
  ASSERT_EQ(session->Get("wadd.stmp?id=3"), "Problem added to Worksheet.");
  ASSERT_EQ(session->Get("wadd.stmp?id=0"), "Problem added to Worksheet.");
  EXPECT_TRUE(session->Get("clipbo.stmp?type=cl_w_sol").starts_with(kErrorPage));
  EXPECT_EQ(ClipboardText(), copied);
  ASSERT_EQ(session->Get("clipbo.stmp?type=cl_sol"), kResp);
  const std::string document = ClipboardText();
  ExpectInOrder(document, {"HEAD-SOL", "BODY 1. #4 L3 EBeta", "BODY 2. #1 L1 EAlpha", "CLOSING"});
  EXPECT_EQ(Occurrences(document, "HEAD-"), 1);
  EXPECT_EQ(Pictures(document), (std::vector<int>{kJpg, kJpg, kBmp}));
}

TEST_F(ClipboardSession, MissingSectionsAndARefusedClipboardCopyNothing) {
  {
    auto session = Start("partial", "../clip.rtf");
    for (const char* address : {"clipbo.stmp?type=p&id=0", "clipbo.stmp?type=cl_pr"}) {
      const std::string page = session->Get(address);
      EXPECT_TRUE(page.starts_with(kErrorPage)) << page;
      EXPECT_NE(page.find("Trying to reference non-existing section"), std::string::npos) << page;
    }
  }
  EXPECT_FALSE(fs::exists(Clipboard()));

  auto session = Start(".", "no-such-folder/clip.rtf");
  for (const char* address : {"clipbo.stmp?type=p&id=0", "clipbo.stmp?type=cl_pr"}) {
    const std::string page = session->Get(address);
    EXPECT_TRUE(page.starts_with(kErrorPage)) << page;
    EXPECT_NE(page.find("Cannot open clipboard"), std::string::npos) << page;
  }
  EXPECT_FALSE(fs::exists(dir_->Path() / "no-such-folder"));
}

// In process: start-up's shared objects, and an editor left empty by a copy.
TEST_F(ClipboardSession, StartUpRegistersTheRichTextComponentsWiredTogether) {
  HeadlessPlatform platform;
  SetCurrentPlatform(&platform);
  {
    EngineOptions options;
    options.ArchivePath = (dir_->Path() / "math.dat").string();
    Engine engine(options);
    ModuleManager& manager = engine.Manager();
    auto* editor = manager.GetObjectAs<RichTextEditor>("RichViewEdit");
    auto* style = manager.GetObjectAs<RichTextStyle>("RVStyle");
    ASSERT_TRUE(editor && style);
    EXPECT_EQ(editor->Style().get(), style);

    editor->InsertRTF("{\\rtf1 LEFT BEHIND}");
    const FetchResult answer = FetchAddress("qilproto://qilproto_local/clipbo.stmp?type=cl_pr");
    EXPECT_EQ(answer.Body, kResp);
    EXPECT_EQ(platform.ClipboardContent().find("LEFT BEHIND"), std::string::npos);
    EXPECT_EQ(editor->FragmentCount(), 0);
  }
  SetCurrentPlatform(nullptr);
}

}  // namespace
}  // namespace qil
