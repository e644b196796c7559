// The clipboard page served in process: one problem or the worksheet copied
// as RTF onto the headless platform's clipboard. The templates are tiny RTF
// documents with plain markers; every test picture has its own width, so a
// group's \picwgoal (width x 15) tells which picture it holds.
#include <gtest/gtest.h>

#include "pictures/PictureFiles.h"
#include "mathdb/MathDatabase.h"
#include "modules/PageDisc.h"
#include "richtext/RichTextEditor.h"
#include "richtext/RtfTokenizer.h"

namespace qil {
namespace {

using namespace picturefiles;
using test::Failure;
using V = std::vector<int>;

// Position 0 (A011/1): problem M_image2.png (10 pixels wide) and M_image1.jpg
// (12), solution M_image3.bmp (14) and the JPEG; 1 (A012/1): problem
// M_image1.wmf (20), solution M_image2.wmz (22); 2 (B023/1): no pictures;
// 3 (B023/2): a PNG on its problem page that cannot be decoded.
constexpr int kPng = 150, kJpg = 180, kBmp = 210, kWmf = 300, kWmz = 330;

void WriteBank(test::BankSource& bank) {
  bank.SetEndpoints({"A01=Alpha", "B02=Beta"});
  bank.AddProblem("A011", "1", {{"P.htm", "<img src=\"M_image2.png\"><img src=\"M_image1.jpg\">"},  // copied by file name
                                {"S.htm", "<img src=\"M_image3.bmp\"><img src=\"M_image1.jpg\">"},
                                {"M_image1.jpg", EncodeJPEG(Pattern(12, 5))}, {"M_image2.png", EncodePNG(Pattern(10, 7))},
                                {"M_image3.bmp", EncodeBMP(Pattern(14, 3))}});
  bank.AddProblem("A012", "1", {{"P.htm", "<img src=\"M_image1.wmf\">"}, {"S.htm", "<img src=\"M_image2.wmz\">"},
                                {"M_image1.wmf", MakePlaceableMetafile(20, 8, 96, 81)},
                                {"M_image2.wmz", Gzip(MakePlaceableMetafile(22, 9, 96, 40))}});
  bank.AddProblem("B023", "1", {{"P.htm", "no pictures"}, {"S.htm", "none either"}});
  bank.AddProblem("B023", "2", {{"P.htm", "<img src=\"M_image1.png\">"}, {"S.htm", "<img src=\"M_image2.jpg\">"},
                                {"M_image1.png", "\x89PNG\r\n\x1a\nbroken"}, {"M_image2.jpg", EncodeJPEG(Pattern(12, 5))}});
}

std::string Section(const std::string& name, const std::string& text) {
  return "<%section name=" + name + "%>" + text + "<%/section%>";
}

// The template; complete: false leaves out "resp" and "copyright".
std::string Clipbo(bool complete) {
  std::string text = "<%%template%%>" +
                     Section("copy_pr", "{\\rtf1\\ansi PR <%=productname%> #<%=num%> L<%=level%> E<%=endpname%>\\par "
                                        "<%=problem%>}") +
                     Section("copy_sol", "{\\rtf1\\ansi SOL #<%=num%>\\par <%=solution%>}") +
                     // The document ends at a zero byte, as a zero-terminated text does.
                     Section("copy_pr_sol", "{\\rtf1\\ansi BOTH #<%=num%>\\par <%=problem%>\\par <%=solution%>}" +
                                                std::string("\0{junk", 6));
  for (const std::string type : {"cl_pr", "cl_pr_num", "cl_w_sol", "cl_sol", "cl_list"}) {
    text += Section(type + "_head", "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}HEAD-" + type + " <%=productname%>\\par}") +
            Section(type + "_body", "{\\rtf1\\ansi{\\fonttbl{\\f0 Courier New;}}BODY <%=wnum%>. #<%=num%> L<%=level%> "
                                    "E<%=endpname%> [<%=productname%>]\\par <%=problem%>|<%=solution%>\\par}");
  }
  return complete ? text + Section("copyright", "{\\rtf1\\ansi CLOSING\\par}") + Section("resp", "copied") : text;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The \picwgoal of every picture group in order; -1 for a group without one.
V Pictures(const std::string& document) {
  V widths;
  for (size_t at = document.find("{\\pict"); at != std::string::npos; at = document.find("{\\pict", at + 1)) {
    const size_t goal = document.find("\\picwgoal", at);
    widths.push_back(goal < document.find('}', at) ? std::atoi(document.c_str() + goal + 9) : -1);
  }
  return widths;
}

class ClipboardCopies : public ::testing::Test {
 protected:
  // The answer's body; the clipboard's document goes to copied.
  std::string Copy(const std::string& query) {
    const FetchResult answer = disc.Fetch("clipbo.stmp?" + query);
    EXPECT_EQ(answer.MimeType, "text/html") << query;
    copied = disc.host.ClipboardContent();
    return answer.Body;
  }

  test::PageDisc disc{{{"clipbo.stmp", Clipbo(true)}, {"partial/clipbo.stmp", Clipbo(false)}}, WriteBank};
  std::string copied;
};

TEST_F(ClipboardCopies, OneProblemThroughItsSectionWithThePicturesOfItsParts) {
  const std::tuple<std::string, std::string, V> cases[] = {
      {"id=0", "{\\rtf1\\ansi PR Orvella #1 L1 EAlpha\\par \r\n\\par{\\pict", {kJpg, kPng}},
      {"type=p&id=0", "{\\rtf1\\ansi PR Orvella #1 L1 EAlpha\\par \r\n\\par{\\pict", {kJpg, kPng}},
      {"type=s&id=000000", "{\\rtf1\\ansi SOL #1\\par \r\n\\par{\\pict", {kJpg, kBmp}},
      {"type=b&id=0", "{\\rtf1\\ansi BOTH #1\\par ", {kJpg, kPng, kJpg, kBmp}},  // cut at the zero byte
      {"type=b&id=1", "{\\rtf1\\ansi BOTH #2\\par ", {kWmf, kWmz}},
      {"type=p&id=2", "{\\rtf1\\ansi PR Orvella #3 L3 EBeta\\par }", {}},
      {"type=p&id=1233", "{\\rtf1\\ansi PR Orvella #1,234 L E\\par }", {}}};  // beyond the index: empty values
  for (const auto& [query, start, pictures] : cases) {
    EXPECT_EQ(Copy(query), "copied");
    EXPECT_TRUE(copied.starts_with(start) && IsOneBalancedGroup(copied)) << copied;
    EXPECT_EQ(Pictures(copied), pictures) << query;
  }
  Copy("type=b&id=1");
  EXPECT_NE(copied.find("\\picw529\\pich212\\picwgoal300\\pichgoal120\r\n"), std::string::npos);
}

TEST_F(ClipboardCopies, WorksheetPerTypeWithNothingOfEarlierCopies) {
  ASSERT_EQ(Copy("type=cl_pr"), "copied");  // an empty worksheet: head and closing
  EXPECT_TRUE(IsOneBalancedGroup(copied) && copied.find("HEAD-cl_pr") < copied.find("CLOSING")) << copied;
  EXPECT_EQ(Count(copied, "BODY"), 0);
  // The editor that start-up registers (with the other shared objects) starts
  // each copy empty, whatever is left in it, and ends it empty.
  const ModuleManager& manager = disc.engine->Manager();
  RichTextEditor* editor = manager.GetObjectAs<RichTextEditor>("RichViewEdit");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->Style().get(), manager.GetObjectAs<RichTextStyle>("RVStyle"));
  EXPECT_EQ(manager.GetObjectAs<MathDatabase>("MathDBManager")->RecordCount(), 4);
  EXPECT_EQ(manager.GetObjectAs<ScriptConstant>("PRODUCTNAME")->Value.ToString(), "Orvella");
  editor->InsertRTF("{\\rtf1 LEFT BEHIND}");
  disc.SetVar("ws", "0,2,1");
  const std::pair<std::string, V> cases[] = {{"cl_pr", {kJpg, kPng, kWmf}}, {"cl_pr_num", {kJpg, kPng, kWmf}},
                                             {"cl_w_sol", {kJpg, kPng, kJpg, kBmp, kWmf, kWmz}}, {"cl_sol", {kJpg, kBmp, kWmz}},
                                             {"cl_list", {}}};
  for (const auto& [type, pictures] : cases) {
    ASSERT_EQ(Copy("type=" + type), "copied");
    EXPECT_TRUE(IsOneBalancedGroup(copied)) << copied;
    size_t from = 0;
    for (const std::string& part : std::initializer_list<std::string>{"{\\rtf1", "HEAD-" + type + " Orvella",
                                                                      "BODY 1. #1 L1 EAlpha []",
                                    "BODY 2. #3 L3 EBeta []", "BODY 3. #2 L2 EAlpha []", "CLOSING"}) {
      EXPECT_EQ(Count(copied, part), 1) << part << " in\n" << copied;
      from = copied.find(part, from);
      ASSERT_NE(from, std::string::npos) << part << " out of order in\n" << copied;
    }
    EXPECT_EQ(Pictures(copied), pictures) << type;
    EXPECT_EQ(Count(copied, "HEAD-") + Count(copied, "LEFT BEHIND") + editor->FragmentCount(), 1) << type;
  }
}

TEST_F(ClipboardCopies, FailedCopiesLeaveTheClipboardAsItWas) {
  Copy("type=p&id=2");
  const std::string before = copied;
  const std::pair<std::string, std::string> failures[] = {
      {"type=p", "\r\n''"}, {"type=s&id=abc", "\r\n'abc'"}, {"type=b&id=99999999999", "\r\n'99999999999'"},
      {"type=s&id=3", "Invalid PNG picture"},  // on the problem page, which the copy converts too
      {"type=P&id=0", "section \"P_head\""}};
  for (const auto& [query, message] : failures) {
    EXPECT_NE(Failure(Copy(query)).find(message), std::string::npos) << query;
    EXPECT_EQ(copied, before) << query;
  }
  disc.SetVar("ws", "3,0");  // a worksheet copy that fails half-way leaves nothing for the next one
  EXPECT_NE(Failure(Copy("type=cl_w_sol")), "");
  EXPECT_EQ(copied, before);
  Copy("type=cl_sol");
  EXPECT_EQ(Count(copied, "HEAD-"), 1);
  EXPECT_LT(copied.find("BODY 1. #4 L3 EBeta"), copied.find("BODY 2. #1 L1 EAlpha"));
  EXPECT_EQ(Pictures(copied), (V{kJpg, kJpg, kBmp}));

  disc.SetVar("ws", "0");
  for (const auto& [query, section] : {std::pair{"type=p&id=0", "resp"}, {"type=cl_pr", "copyright"}}) {
    const std::string page = disc.Get(std::string("partial/clipbo.stmp?") + query);
    EXPECT_NE(Failure(page).find(std::string("section \"") + section), std::string::npos) << page;
  }
  EXPECT_EQ(disc.host.ClipboardContent(), copied);  // nothing copied without the sections
  disc.host.SetClipboardFile((disc.dir.Path() / "no-such-folder" / "clip.rtf").string());
  for (const char* query : {"type=p&id=0", "type=cl_pr"}) {
    EXPECT_NE(Failure(Copy(query)).find("Cannot open clipboard"), std::string::npos) << query;
  }
  EXPECT_FALSE(std::filesystem::exists(disc.dir.Path() / "no-such-folder"));
}

}  // namespace
}  // namespace qil
