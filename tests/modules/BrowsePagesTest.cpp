// The browsing pages (lists, level menu, navigation, problem page, goto,
// index, pictures) served in process over a disc laid out so that every page
// has cases that can go wrong. Positions, after this edition folds level 4
// into level 3:
//   A01  0..59     level 1 (0..29), level 3 (30..59); position 6 (A011/7) has
//                  M_image1.gif twice in its problem and M_image2.png in its solution
//   A02  -         no problems
//   B01  60..69    level 2 (60..63), level 4 (64..69, read as 3)
//   C01  70..1169  level 1 without solutions, no title page in db/menuid.txt
#include <gtest/gtest.h>

#include <sstream>

#include "mathdb/NumberImages.h"
#include "modules/PageDisc.h"

namespace qil {
namespace {

using test::Failure;

const std::string kPicture("GIF89a\0\r\n\x1a\xff\x00 end", 16);
const std::string kGotoRedirect =
    "<html><head>\r\n<meta http-equiv=\"Refresh\" content=\"0;url=gotoerror_h.html\">\r\n</head><body></body></html>\r\n";

const std::map<std::string, std::string> kTemplates = {
    {"mathlist.stmp",
     "<%%template%%><%section name=header%>HEAD\n<%/section%><%section name=body%>ROW <%=aname%> <%=endpcode%> "
     "<%=id%> <%=level%> [<%=num%>] <%=problem%><%/section%><%section name=footer%>FOOT<%/section%>"
     "<%section name=other%>OTHER<%/section%>"},
    {"problem_lent.stmp",
     "<%%template%%><%section name=level1%>L1 <%=l1id%> <%=l1start%>;<%/section%><%section name=level2%>L2 <%=l2id%> "
     "<%=l2start%>;<%/section%><%section name=level3%>L3 <%=l3id%> <%=l3start%>;<%/section%>"
     "<%section name=level4%>L4 <%=l4id%> <%=l4start%>;<%/section%>"},
    {"alsonaviga.stmp",
     "<%%template%%><%section name=body%>mlo=<%=mlo%> mhi=<%=mhi%> n=<%=n%> goto=<%=goto%><%/section%>"},
    {"solution.stmp",
     "<%%template%%><%section name=body%>id=<%=id%> level=<%=level%> endpcode=<%=endpcode%> back=<%=backlink%> "
     "<%=added_comment0%>ADD<%=added_comment1%>\nnum=<%=num%>\nproblem=<%=problem%>solution=<%=solution%>"
     "<%/section%>"},
    {"mathgoto.stmp",
     "<%%template%%><%section name=body%><%=id%> <%=start%> <%=main%> <%=sub%> <%=titlepage%><%/section%>"},
    {"main.stmp",
     "<%%template%%><%section name=body%>A01<%=rangeA01%> A02<%=rangeA02%> B01<%=rangeB01%> C01<%=rangeC01%>"
     "<%/section%>"},
    {"mathgfx.stmp", "<%%template%%>"},
    // The same names, each lacking a section its module fills.
    {"broken/mathlist.stmp", "<%%template%%><%section name=header%>H<%/section%><%section name=body%>x<%/section%>"},
    {"broken/problem_lent.stmp", "<%%template%%><%section name=level1%>1<%/section%><%section name=level2%>2<%/section%>"},
    {"broken/alsonaviga.stmp", "<%%template%%>"},
    {"broken/solution.stmp", "<%%template%%>"},
    {"broken/mathgoto.stmp", "<%%template%%>"},
    {"broken/main.stmp", "<%%template%%>"}};

void WriteBank(test::BankSource& bank) {
  bank.SetEndpoints({"A01=Fractions", "A02=Empty", "B01=Folded", "C01=Big"});
  bank.SetDbFile("menuid.txt", "sA01=a01.htm\r\nsB01=b01.htm\r\nsA02=a02.htm\r\n");
  for (const auto& [code, count] : {std::pair{"A011", 30}, {"A013", 30}, {"B012", 4}, {"B014", 6}, {"C011", 1100}}) {
    for (int n = 1; n <= count; ++n) {
      const std::string name = std::string(code) + "/" + std::to_string(n);
      std::map<std::string, std::string> files = {{"P.htm", "P:" + name}};
      if (code[0] != 'C') files["S.htm"] = "S:" + name;
      bank.AddProblem(code, std::to_string(n), files);
    }
  }
  bank.AddProblem("A011", "7",
                  {{"P.htm", "P:A011/7 <img src=\"M_image1.gif\"><img src=\"M_image1.gif\">"},
                   {"S.htm", "S:A011/7 <img src=\"M_image2.png\">"},
                   {"M_image1.gif", kPicture},
                   {"M_image2.png", "PNG bytes"}});
}

class BrowsePages : public ::testing::Test {
 protected:
  test::PageDisc disc{kTemplates, WriteBank};
};

// A list page as "N: first row .. last row" (rows without their digit
// pictures), "none" for header and footer alone.
std::string Summary(const std::string& body) {
  if (body == "HEAD\nFOOT") return "none";
  std::vector<std::string> rows;
  std::istringstream lines(body);
  for (std::string line; std::getline(lines, line);) {
    const size_t open = line.find(" ["), close = line.find("] ");
    if (line.starts_with("ROW ")) rows.push_back(line.substr(4, open - 4) + line.substr(close + 1, line.size() - close - 2));
  }
  if (rows.empty() || !body.starts_with("HEAD\n") || !body.ends_with("\r\nFOOT")) return "not a list: " + body.substr(0, 300);
  return std::to_string(rows.size()) + ": " + rows.front() + " .. " + rows.back();
}

TEST_F(BrowsePages, ListsShowTheEndpointsPageOfUpToTwentyFiveRows) {
  const std::pair<std::string, std::string> lists[] = {
      // Problem 30 is the 30th of A01: page 2, numbers 26 to 50, levels 1 and 3.
      {"start=30", "25: p000025 A01 000025 1 P:A011/26 .. p000049 A01 000049 3 P:A013/20"},
      {"start=25", "25: p000000 A01 000000 1 P:A011/1 .. p000024 A01 000024 1 P:A011/25"},
      {"start=26", "25: p000025 A01 000025 1 P:A011/26 .. p000049 A01 000049 3 P:A013/20"},
      {"start=124#p000123", "25: p000120 C01 000120 1 P:C011/51 .. p000144 C01 000144 1 P:C011/75"},
      {"start=1170", "25: p001145 C01 001145 1 P:C011/1076 .. p001169 C01 001169 1 P:C011/1100"},
      {"main=A&sub=01", "25: p000000 A01 000000 1 P:A011/1 .. p000024 A01 000024 1 P:A011/25"},
      {"main=A&sub=01&packet=", "25: p000000 A01 000000 1 P:A011/1 .. p000024 A01 000024 1 P:A011/25"},
      {"main=A&sub=01&packet=3", "10: p000050 A01 000050 3 P:A013/21 .. p000059 A01 000059 3 P:A013/30"},
      {"main=B&sub=01&packet=1", "10: p000060 B01 000060 2 P:B012/1 .. p000069 B01 000069 3 P:B014/6"},
      {"main=C&sub=01&packet=44", "25: p001145 C01 001145 1 P:C011/1076 .. p001169 C01 001169 1 P:C011/1100"},
      {"main=A&sub=01&packet=4", "none"},
      {"main=A&sub=02", "none"},
      {"main=C&sub=01&packet=45", "none"},
      {"main=A&sub=01XYZ", "none"},  // only an endpoint as written has rows
      {"main=A&sub=01&packet=0", "none"},
      {"main=C&sub=01&packet=-1", "none"},
      {"main=C&sub=01&packet=-2147483647", "none"},
      {"main=C&sub=01&packet=-2147483648", "none"},
      {"main=C&sub=01&packet=2147483647", "none"},
      {"main=C&sub=01&packet=85899347", "none"}};
  for (const auto& [query, summary] : lists) EXPECT_EQ(Summary(disc.Get("mathlist.stmp?" + query)), summary) << query;

  const FetchResult page = disc.Fetch("mathlist.stmp?start=1170");
  EXPECT_EQ(page.MimeType, "text/html");
  EXPECT_EQ(page.Body.find("OTHER"), std::string::npos);
  // Numbers are digit pictures, here with a thousands separator, then the number as text.
  const auto digit = [](char d) {
    return std::string("<img src=\"images/szamok_problem/n") + d + ".jpg\" alt=\"\" width=\"8\" height=\"22\">";
  };
  const std::string number = digit('1') + "<img src=\"images/szamok_problem/nv.jpg\" alt=\"\">" + digit('1') + digit('7') +
                             digit('0') + "<span class=\"numtext\">1,170</span>";
  EXPECT_NE(page.Body.find("ROW p001169 C01 001169 1 [" + number + "] "), std::string::npos);
}

TEST_F(BrowsePages, LevelMenuNavigationGotoAndIndex) {
  const std::pair<std::string, std::string> pages[] = {
      {"problem_lent.stmp?main=A&sub=01", "L1 000000 1;L3 000030 31;"},
      {"problem_lent.stmp?main=B&sub=01", "L2 000060 61;L3 000064 65;"},  // level 4 folded into 3
      {"problem_lent.stmp?start=65", "L2 000060 61;L3 000064 65;"},
      {"problem_lent.stmp?main=A&sub=02", ""},
      {"problem_lent.stmp?main=C&sub=01", "L1 000070 71;"},
      {"alsonaviga.stmp?main=A&sub=01", "mlo=1 mhi=60 n=25 goto=-1"},
      {"alsonaviga.stmp?start=124", "mlo=71 mhi=1170 n=25 goto=124"},
      {"alsonaviga.stmp?main=A&sub=02", "mlo=1 mhi=0 n=25 goto=-1"},
      {"alsonaviga.stmp?main=B&sub=01&start=abc", "mlo=61 mhi=70 n=25 goto=-1"},
      {"mathgoto.stmp?goto=1", "000000 1 A 01 a01.htm"},
      {"mathgoto.stmp?goto=65", "000064 65 B 01 b01.htm"},
      {"mathgoto.stmp?goto=1170", "001169 1170 C 01 "},  // C01 has no title page
      {"main.stmp", "A01[1-60] A02[---] B01[61-70] C01[71-1,170]"}};
  for (const auto& [address, body] : pages) EXPECT_EQ(disc.Get(address), body) << address;
  for (const char* query : {"", "?goto=", "?goto=0", "?goto=abc", "?goto=-1", "?goto=1171", "?goto=4294967296",
                            "?goto=-2147483648", "?goto=2147483647", "?goto=0&x=1"}) {
    EXPECT_EQ(disc.Get(std::string("mathgoto.stmp") + query), kGotoRedirect) << query;
    EXPECT_EQ(disc.Get(std::string("broken/mathgoto.stmp") + query), kGotoRedirect) << "needs no section";
  }
}

TEST_F(BrowsePages, ProblemPageWithSolutionBackLinkAndWorksheetMark) {
  const std::string gfx = "<img src=\"mathgfx.stmp?ID=000006&gfx=M_image";
  EXPECT_EQ(disc.Get("solution.stmp?id=000006"),
            "id=000006 level=1 endpcode=A01 back=mathlist.stmp?start=7#p000006 ADD\nnum=" + NumberImagesProblem(7) +
                "\nproblem=P:A011/7 " + gfx + "1.gif\">" + gfx + "1.gif\">\r\nsolution=S:A011/7 " + gfx + "2.png\">\r\n");
  // Beyond the last problem: nothing from the database.
  EXPECT_EQ(disc.Get("solution.stmp?id=5000"), "id=5000 level= endpcode= back=mathlist.stmp?start=5001#p005000 ADD\n"
                                               "num=" + NumberImagesProblem(5001) + "\nproblem=solution=");
  const std::pair<std::string, std::string> parts[] = {
      {"6", "id=6 level=1 endpcode=A01 back=mathlist.stmp?start=7#p000006"},  // the id as requested
      {"6", "mathgfx.stmp?ID=6&gfx=M_image2.png"},
      {"0", "back=mathlist.stmp?start=1#p000000 ADD\nnum=" + NumberImagesProblem(1) + "\n"},
      {"000064", "id=000064 level=3 endpcode=B01 "},
      {"1169", "back=mathlist.stmp?start=1170#p001169 ADD\nnum=" + NumberImagesProblem(1170) + "\n"}};
  for (const auto& [id, part] : parts) EXPECT_NE(disc.Get("solution.stmp?id=" + id).find(part), std::string::npos) << part;

  // A problem on the worksheet hides its "add" link; entries are read as comma text.
  const std::pair<std::string, std::string> worksheets[] = {{"5,123,77", "000123 123 5"}, {"\"6\" 9", "6 000009"}};
  for (const auto& [worksheet, marked] : worksheets) {
    disc.SetVar("ws", worksheet);
    std::istringstream ids(marked);
    for (std::string id; ids >> id;) EXPECT_NE(disc.Get("solution.stmp?id=" + id).find(" <!--ADD-->\n"), std::string::npos) << id;
  }
  disc.SetVar("ws", "5,123,0006");  // compared with the position written without leading zeros
  for (const char* id : {"000012", "1230", "6"}) {
    EXPECT_NE(disc.Get(std::string("solution.stmp?id=") + id).find(" ADD\n"), std::string::npos) << id;
  }
  EXPECT_EQ(disc.Var("ws"), "5,123,0006");
}

TEST_F(BrowsePages, BadNumbersAndMissingSectionsGiveTheErrorPage) {
  for (const char* packet : {"abc", "2147483648", "99999999999", "1x"}) {  // after the header
    const std::string body = disc.Get(std::string("mathlist.stmp?main=A&sub=01&packet=") + packet);
    EXPECT_TRUE(body.starts_with("HEAD\n" + std::string(test::kErrorPageOpenings[0]))) << body;
  }
  for (const char* script : {"mathlist", "problem_lent", "alsonaviga"}) {  // before anything
    for (const char* start : {"", "=", "=abc", "=0", "=-1", "=1171", "=4294967296", "=-2147483648"}) {
      const std::string page = disc.Get(std::string(script) + ".stmp?start" + start);
      EXPECT_TRUE(page.starts_with(test::kErrorPageOpenings[0])) << script << start;
    }
  }
  for (const char* query : {"", "?id=", "?id=abc", "?id=-1", "?id=2147483647", "?id=4294967296"}) {
    EXPECT_TRUE(disc.Get(std::string("solution.stmp") + query).starts_with(test::kErrorPageOpenings[0])) << query;
  }
  const std::pair<std::string, std::string> broken[] = {
      {"mathlist.stmp?main=A&sub=01", "footer"}, {"problem_lent.stmp?main=A&sub=01", "level3"},
      {"alsonaviga.stmp?main=A&sub=01", "body"}, {"solution.stmp?id=1", "body"},
      {"mathgoto.stmp?goto=1", "body"},          {"main.stmp", "body"}};
  for (const auto& [address, section] : broken) {
    EXPECT_NE(Failure(disc.Get("broken/" + address)).find("section \"" + section + "\""), std::string::npos) << address;
  }
}

TEST_F(BrowsePages, PicturesComeOutByteForByte) {
  const std::pair<std::string, std::string> pictures[] = {
      {"ID=000006&gfx=M_image1.gif", kPicture}, {"ID=6&gfx=m_IMAGE1.GIF", kPicture},
      {"ID=000006&gfx=M_image2.png", "PNG bytes"}, {"ID=000006&gfx=M_image9.gif", ""},
      {"ID=000007&gfx=M_image1.gif", ""},          {"ID=abc&gfx=M_image1.gif", ""},
      {"ID=99999&gfx=M_image1.gif", ""},           {"ID=-1&gfx=M_image1.gif", ""}};
  for (const auto& [query, bytes] : pictures) {
    const FetchResult answer = disc.Fetch("mathgfx.stmp?" + query);
    EXPECT_EQ(answer.MimeType + " " + answer.Body, "application/octet-stream " + bytes) << query;
  }
}

// Start-up loads the database, or an empty one without a bank; the index page
// refuses counts that add up beyond 32 bits.
TEST(BrowsePagesStartUp, DamagedOrMissingProblemDatabase) {
  test::TempDir dir;
  test::BankSource bank(dir.Path());
  bank.SetEndpoints({"A01=One", "B01=Two"});
  bank.AddSimpleProblem("A011", "1");
  for (const char* name : {"main.stmp", "mathgoto.stmp"}) test::WriteFile(dir.Path() / "db" / name, kTemplates.at(name));
  const auto serve = [&](const std::string& region, const std::string& path) {
    bank.WriteArchive(dir.Path() / "disc.dat", region);
    EngineOptions options;
    options.ArchivePath = dir.File("disc.dat");
    std::string error;
    const std::unique_ptr<Engine> engine = StartEngine(options, error);
    return engine ? FetchAddress("qilproto://qilproto_local/db/" + path).Body : "failed: " + error;
  };
  EXPECT_EQ(serve("", "main.stmp"), "A01 A02 B01 C01");
  EXPECT_EQ(serve("", "mathgoto.stmp?goto=1"), kGotoRedirect);
  std::string region = bank.BuildRegion();
  EXPECT_EQ(serve(region, "main.stmp"), "A01[1-1] A02 B01[---] C01");
  const uint32_t counts = test::RegionWord(region, 16);
  ASSERT_EQ(region.substr(counts, 14), "A01=1\r\nB01=0\r\n");
  const std::string damaged = "A01=2147483647\r\nB01=9\r\n";  // over the padding and the bundle behind
  region.replace(counts, damaged.size(), damaged);
  test::SetRegionWord(region, 20, static_cast<uint32_t>(damaged.size()));
  EXPECT_EQ(Failure(serve(region, "main.stmp")), "/db/main.stmp\"\r\nThe problem count of B01 is out of range.</pre>");
  test::SetRegionWord(region, 4, 2);  // the database's version
  EXPECT_EQ(serve(region, "main.stmp"), "failed: Wrong Math DB version.");
}

}  // namespace
}  // namespace qil
