// The worksheet pages served in process: adding by hand, the editor's
// actions and rows, generation at a fixed time of day, the generator form,
// statistics and counter. Positions of the disc (this edition reads C124 as C123):
//   A011 0..2 (1 shows M_image1.gif), A012 3..4, B023 5..16, C121 17..19, C124 20..21; D04 has none.
#include <gtest/gtest.h>

#include <set>

#include "mathdb/NumberImages.h"
#include "modules/PageDisc.h"

namespace qil {
namespace {

using test::Failure;

const std::string kAdded = "alert(\"Problem added to Worksheet.\");";
const std::string kExists = "alert(\"Warning!\\n\\nProblem already exists in Worksheet.\");";
const std::string kFull = "alert(\"Warning!\\n\\nMaximum number of worksheet items already reached.\");";

const std::pair<std::string, int> kGroups[] = {{"A011", 3}, {"A012", 2}, {"B023", 12}, {"C121", 3}, {"C124", 2}};

const std::map<std::string, std::string> kTemplates = {
    {"wadd.stmp", "<%%template%%><%section name=addtows%>alert(\"<%=alerttext%>\");<%/section%>"},
    {"edit1.stmp",
     "<%%template%%><%section name=framepage%>FRAME[<%=editparams%>]<%/section%><%section name=header%>HEAD;"
     "<%/section%><%section name=body%>ROW[<%=wnum%>|<%=num%>|<%=id%>|<%=endpcode%>|<%=level%>|<%=problem%>];"
     "<%/section%><%section name=footer%>FOOT<%/section%>"},
    {"creator.stmp", "<%%template%%><%section name=body%>A011=<%=LA011%>/<%=VA011%> A012=<%=LA012%>/<%=VA012%> A014=<%=LA014%>/"
                     "<%=VA014%> B023=<%=LB023%>/<%=VB023%> C123=<%=LC123%>/<%=VC123%> C124=<%=LC124%>/<%=VC124%> "
                     "D041=<%=LD041%>/<%=VD041%> Z991=<%=LZ991%>/<%=VZ991%> ws=<%=wcount%><%/section%>"},
    {"statistic.stmp", "<%%template%%><%section name=body%>A011=<%=LA011%> A012=<%=LA012%> B023=<%=LB023%> C121=<%=LC121%> "
                       "C123=<%=LC123%> C124=<%=LC124%> D041=<%=LD041%><%/section%>"},
    {"worksheet.stmp", "<%%template%%><%section name=body%>[<%=wcounter%>]<%/section%>"}};

std::function<void(test::BankSource&)> Bank(const std::string& mapping = "") {
  return [mapping](test::BankSource& bank) {
    bank.SetEndpoints({"A01=Alpha", "B02=Beta", "C12=Gamma", "D04=Empty"});
    if (!mapping.empty()) bank.SetDbFile("endpoint-mapping.txt", mapping);
    for (const auto& [code, count] : kGroups) {
      for (int i = 1; i <= count; ++i) bank.AddProblem(code, std::to_string(i), {{"P.htm", code + "/" + std::to_string(i)}});
    }
    bank.AddProblem("A011", "2", {{"P.htm", "see <img src=\"M_image1.gif\">"}, {"M_image1.gif", "GIF89a"}});
  };
}

class WorksheetPages : public ::testing::Test {
 protected:
  test::PageDisc disc{kTemplates, Bank()};
};

// The editor's row of the problem at position, at place on the worksheet.
std::string Row(int place, int32_t position) {
  int32_t first = 0;
  for (const auto& [code, count] : kGroups) {
    if (position < first + count) {
      const std::string number = std::to_string(position - first + 1), id = std::to_string(1000000 + position).substr(1);
      const std::string problem = position == 1 ? "see <img src=\"mathgfx.stmp?ID=1&gfx=M_image1.gif\">" : code + "/" + number;
      return "ROW[" + NumberImagesProblem(place) + "|" + NumberImagesProblem(position + 1) + "|" + id + "|" +
             code.substr(0, 3) + "|" + (code[3] == '4' ? "3" : code.substr(3)) + "|" + problem + "\r\n];";
    }
    first += count;
  }
  return "no problem at " + std::to_string(position);
}

std::string EditorPage(const std::vector<int32_t>& positions) {
  std::string page = "HEAD;";
  for (size_t i = 0; i < positions.size(); ++i) page += Row(static_cast<int>(i) + 1, positions[i]);
  return page + "FOOT";
}

// The draws of one group by the published rule: seed the time of day, then per
// draw seed := seed * 134775813 + 1 (mod 2^32) and offset := (count * seed) >> 32,
// drawing again while first + offset is taken.
void Draw(uint32_t time_of_day, int32_t first, int32_t count, int32_t n, std::set<int32_t>& taken) {
  uint32_t seed = time_of_day;
  for (int32_t i = 0; i < n; ++i) {
    int32_t position;
    do {
      seed = seed * 134775813u + 1u;
      position = first + static_cast<int32_t>((static_cast<uint64_t>(count) * seed) >> 32);
    } while (!taken.insert(position).second);
  }
}

// Positions as worksheet text: "1,5,17"; Numbers(from, to) those from to to.
std::string Text(const auto& positions) {
  std::string text;
  for (const int32_t p : positions) text += (text.empty() ? "" : ",") + std::to_string(p);
  return text;
}
std::string Numbers(int32_t from, int32_t to) {
  std::vector<int32_t> numbers;
  for (int32_t i = from; i <= to; ++i) numbers.push_back(i);
  return Text(numbers);
}

TEST_F(WorksheetPages, AddingByHandOnceEachUpToTwentyFive) {
  const std::pair<std::string, std::string> steps[] = {
      {"id=000123", kAdded}, {"id=123", kExists}, {"ID=0123", kExists}, {"id=-5", kAdded}, {"id=2147483647", kAdded}};
  for (const auto& [query, alert] : steps) EXPECT_EQ(disc.Get("wadd.stmp?" + query), alert) << query;
  EXPECT_EQ(disc.Var("ws"), "123,-5,2147483647");
  for (const char* query : {"", "?id=", "?id=abc", "?id=12x", "?id=2147483648", "?id=99999999999999999999"}) {
    EXPECT_NE(Failure(disc.Get(std::string("wadd.stmp") + query)), "") << query;
    EXPECT_EQ(disc.Var("ws"), "123,-5,2147483647") << query;
  }
  disc.SetVar("ws", "\"7\" 8,\"9\"");  // comma text: quotes and blanks
  EXPECT_EQ(disc.Get("wadd.stmp?id=9"), kExists);
  EXPECT_EQ(disc.Get("wadd.stmp?id=10"), kAdded);
  EXPECT_EQ(disc.Var("ws"), "7,8,9,10");

  disc.SetVar("ws", Numbers(0, 23));
  EXPECT_EQ(disc.Get("wadd.stmp?id=24"), kAdded);
  const std::pair<std::string, std::string> full[] = {{Numbers(0, 24), "25"}, {Numbers(1, 30), "0"}, {Numbers(0, 9999), "10000"}};
  for (const auto& [worksheet, id] : full) {
    disc.SetVar("ws", worksheet);
    EXPECT_EQ(disc.Get("wadd.stmp?id=" + id), kFull) << id;
    EXPECT_EQ(disc.Get("wadd.stmp?id=9"), kExists);  // the duplicate test comes first
    EXPECT_EQ(disc.Var("ws"), worksheet);
  }
}

TEST_F(WorksheetPages, EditorActionsRearrangeByExactEntry) {
  disc.SetVar("ws", "5,6,7,8");
  const std::pair<std::string, std::string> steps[] = {
      {"moveup&id=7", "5,7,6,8"},  {"movedn&id=5", "7,5,6,8"},  {"top&id=000008", "8,7,5,6"},
      {"bottom&id=7", "8,5,6,7"},  {"moveup&id=8", "8,5,6,7"},  {"movedn&id=7", "8,5,6,7"},
      {"top&id=8", "8,5,6,7"},     {"bottom&id=7", "8,5,6,7"},  {"remove&id=9", "8,5,6,7"},
      {"remove&id=x", "8,5,6,7"},  {"remove&id=4294967302", "8,5,6,7"},
      {"remove&id=6", "8,5,7"},    {"movedn&id=8", "5,8,7"}};
  for (const auto& [action, after] : steps) {
    disc.Get("edit1.stmp?action=" + action);
    EXPECT_EQ(disc.Var("ws"), after) << action;
  }
  EXPECT_EQ(disc.Get("edit1.stmp"), EditorPage({5, 8, 7}));

  // A rearranging action stores the worksheet in its plain form even when
  // nothing moved; anything else leaves the text as it was.
  const std::string loose = " 5 , \"6\"";
  const std::pair<std::string, bool> stores[] = {
      {"", false}, {"action=", false}, {"action=MoveUp&id=6", false}, {"action=REMOVE&id=6", false},
      {"action=ClearAll", false}, {"action=gensheet_main ", false}, {"action=nonsense&id=5", false},
      {"action=moveup&id=5", true}, {"action=remove", true}, {"action=bottom&id=6", true}};
  for (const auto& [query, stored] : stores) {
    disc.SetVar("ws", loose);
    EXPECT_EQ(disc.Get("edit1.stmp?" + query), EditorPage({5, 6})) << query;
    EXPECT_EQ(disc.Var("ws"), stored ? "5,6" : loose) << query;
  }
  disc.SetVar("ws", "1,2,3");
  EXPECT_EQ(disc.Get("edit1.stmp?action=clearall"), "HEAD;FOOT");
  EXPECT_EQ(disc.Var("ws"), "");

  disc.SetVar("ws", Numbers(100, 10099));
  const std::string huge = disc.Get("edit1.stmp?action=top&id=10099");
  EXPECT_TRUE(huge.starts_with("HEAD;ROW[") && huge.ends_with("];FOOT")) << huge.substr(0, 200);
  EXPECT_EQ(disc.Var("ws"), "10099," + Numbers(100, 10098));
}

TEST_F(WorksheetPages, EditorRowsShowEachEntrysProblem) {
  disc.SetVar("ws", "21,1,0,16");
  EXPECT_EQ(disc.Get("edit1.stmp"), EditorPage({21, 1, 0, 16}));
  // Entries that name no problem show empty, without overflow.
  disc.SetVar("ws", "22,2147483647,-1,000004");
  EXPECT_EQ(disc.Get("edit1.stmp"), "HEAD;ROW[" + NumberImagesProblem(1) + "|" + NumberImagesProblem(23) + "|000022|||];ROW[" +
                                        NumberImagesProblem(2) + "|" + NumberImagesProblem(2147483648) + "|2147483647|||];ROW[" +
                                        NumberImagesProblem(3) + "|" + NumberImagesProblem(0) + "|-000001|||];" + Row(4, 4) +
                                        "FOOT");
  // An entry that is no number fails its row after the earlier ones.
  disc.SetVar("ws", "0,abc,2");
  std::string page = disc.Get("edit1.stmp");
  EXPECT_TRUE(page.starts_with("HEAD;" + Row(1, 0) + std::string(test::kErrorPageOpenings[0]))) << page;
  EXPECT_NE(Failure(page).find("\r\n'abc'"), std::string::npos) << page;
  disc.SetVar("ws", "\"1 2\",3");  // a quoted item keeps its blank
  EXPECT_TRUE(disc.Get("edit1.stmp").starts_with("HEAD;" + std::string(test::kErrorPageOpenings[0])));

  disc.SetVar("ws", "3,1");
  const std::pair<std::string, std::string> frames[] = {
      {"action=gensheet_main&TA011=2&rnd=5", "FRAME[action=gensheet&TA011=2&rnd=5]"},
      {"TA011=2&action=gensheet_main&rnd=5&rnd=6", "FRAME[TA011=2&action=gensheet&rnd=5&rnd=6]"},
      {"action=gensheet_main", "FRAME[action=gensheet]"}};
  for (const auto& [query, frame] : frames) EXPECT_EQ(disc.Get("edit1.stmp?" + query), frame);
  EXPECT_EQ(disc.Var("ws") + "|" + disc.Var("rnd"), "3,1|");
}

TEST_F(WorksheetPages, GenerationDrawsEachGroupOncePerToken) {
  disc.SetVar("ws", "4");
  const uint32_t time = 45296789;  // 12:34:56.789 UTC
  disc.host.SetFixedTimeOfDay(time);
  std::set<int32_t> expected;
  Draw(time, 0, 3, 2, expected);   // A011
  Draw(time, 5, 12, 7, expected);  // B023
  Draw(time, 20, 2, 1, expected);  // C124, read as C123
  ASSERT_EQ(expected.size(), 10u);
  EXPECT_EQ(disc.Get("edit1.stmp?action=gensheet&TA011=2&TB023=7&TC123=1&rnd=a1"),
            EditorPage({expected.begin(), expected.end()}));
  EXPECT_EQ(disc.Var("ws") + "|" + disc.Var("rnd"), Text(expected) + "|a1");
  disc.host.SetFixedTimeOfDay(1);
  disc.Get("edit1.stmp?action=gensheet&TA011=3&rnd=a1");  // the same token draws nothing
  EXPECT_EQ(disc.Var("ws"), Text(expected));

  // Groups seeded in the same millisecond take the same offsets.
  for (uint32_t t : {0u, 999u, 86399999u}) {
    disc.host.SetFixedTimeOfDay(t);
    disc.Get("edit1.stmp?action=gensheet&TA011=1&TC121=1&rnd=" + std::to_string(t));
    std::set<int32_t> draws;
    Draw(t, 0, 3, 1, draws);
    Draw(t, 17, 3, 1, draws);
    EXPECT_EQ(disc.Var("ws"), Text(draws)) << t;
    EXPECT_EQ(*draws.rbegin() - *draws.begin(), 17) << t;
  }

  disc.Get("edit1.stmp?action=gensheet&TB023=12&TA011=3&TA012=2&TC121=3&TC123=2&rnd=all");  // whole groups
  EXPECT_EQ(disc.Var("ws"), Numbers(0, 21));
  disc.SetVar("ws", "9,3,5");
  disc.SetVar("rnd", "");
  const std::pair<std::string, std::string> tokens[] = {
      {"TA011=1", "9,3,5|"},  // without a token both sides are empty: nothing is drawn
      {"TA011=0&TB023=-4&TZ991=3&TA015=1&TA011x=2&rnd=t1", "9,3,5|t1"},  // nothing asked for
      {"TA012=2&rnd=t2&rnd=t3", "3,4|t2"},                                // the first token item counts
      {"TA011=3&rnd=t2", "3,4|t2"},
      {"ta011=3&TA012=x&TB023=99999999999&rnd=t3", "0,1,2|t3"}};  // decimal text; names ignore case
  for (const auto& [query, after] : tokens) {
    disc.Get("edit1.stmp?action=gensheet&" + query);
    EXPECT_EQ(disc.Var("ws") + "|" + disc.Var("rnd"), after) << query;
  }
  disc.SetVar("ws", Numbers(0, 21) + ",100,101,102,103");  // a generated worksheet may hold more than 25
  EXPECT_EQ(disc.Get("wadd.stmp?id=50"), kFull);
}

TEST_F(WorksheetPages, ImpossibleCountsKeepTheWorksheetAndToken) {
  disc.SetVar("ws", "8,2");
  disc.SetVar("rnd", "old");
  const std::pair<std::string, std::string> cases[] = {
      {"TA011=4", "4 out of 3"},  {"TA011=1&TB023=13", "13 out of 12"}, {"TA011=2147483647", "2147483647 out of 3"},
      {"TC124=1", "1 out of 0"},  // this edition folds level 4 into level 3
      {"TD041=1", "1 out of 0"}};
  for (const auto& [counts, message] : cases) {
    const std::string query = "/edit1.stmp?action=gensheet&rnd=new&" + counts;
    EXPECT_EQ(disc.Get(query.substr(1)), "HEAD;" + std::string(test::kErrorPageOpenings[0]) + query +
                                             "\"\r\nImpossible value for random generator: generate " + message + "</pre>");
    EXPECT_EQ(disc.Var("ws") + "|" + disc.Var("rnd"), "8,2|old");
  }
  disc.Get("edit1.stmp?action=gensheet&rnd=new&TA011=3");  // the failed token did not stick
  EXPECT_EQ(disc.Var("ws") + "|" + disc.Var("rnd"), "0,1,2|new");
}

TEST(WorksheetPagesMapped, OverlappingGroupRangesEndWithTheGenerationError) {
  // B023 mapped to A011: endpoint A01 then holds A011 at 0..2, A012 at 3..4 and
  // the former B023 at 5..16, now A011. A011's range (15 from 0) covers A012's.
  test::PageDisc disc(kTemplates, Bank("B023=A011\r\n"));
  disc.SetVar("ws", "7");
  EXPECT_TRUE(disc.Get("edit1.stmp?action=gensheet&TA011=15&TA012=1&rnd=1").ends_with("generate 1 out of 0</pre>"));
  // At this time of day A011's 14 draws leave one of A012's positions free.
  disc.host.SetFixedTimeOfDay(2);
  std::set<int32_t> taken;
  Draw(2, 0, 15, 14, taken);
  ASSERT_EQ(taken.count(3) + taken.count(4), 1u);
  EXPECT_TRUE(disc.Get("edit1.stmp?action=gensheet&TA011=14&TA012=2&rnd=2").ends_with("generate 2 out of 1</pre>"));
  EXPECT_EQ(disc.Var("ws"), "7");
  disc.Get("edit1.stmp?action=gensheet&TA011=14&TA012=1&rnd=2");
  Draw(2, 3, 2, 1, taken);
  EXPECT_EQ(disc.Var("ws"), Text(taken));
}

TEST_F(WorksheetPages, FormStatisticsAndCounter) {
  EXPECT_EQ(disc.Get("creator.stmp?TA011=9"), "A011=3/3 A012=2/2 A014=0/0 B023=12/12 C123=2/2 C124=0/0 D041=0/0 Z991=/ ws=0");
  disc.SetVar("ws", "7,3");
  EXPECT_TRUE(disc.Get("creator.stmp").ends_with(" ws=2"));
  const std::pair<std::string, std::string> statistics[] = {
      {"", "A011= A012= B023= C121= C123= C124= D041="},
      {"2,0,21,1,9", "A011=3 A012= B023=1 C121= C123=1 C124= D041="},
      {"\"4\" 4", "A011= A012=2 B023= C121= C123= C124= D041="}};
  for (const auto& [worksheet, page] : statistics) {
    disc.SetVar("ws", worksheet);
    EXPECT_EQ(disc.Get("statistic.stmp"), page) << worksheet;
  }
  for (const char* worksheet : {"1,22", "1,-1", "abc", "2147483647", "\"\""}) {  // outside the tally
    disc.SetVar("ws", worksheet);
    EXPECT_TRUE(Failure(disc.Get("statistic.stmp")).starts_with("/statistic.stmp\"\r\n''")) << worksheet;  // a missing count
  }
  disc.SetVar("ws", Numbers(1, 11) + ",x");
  EXPECT_EQ(disc.Get("worksheet.stmp"),
            "[\r\n<img src=\"images/szamok/n1.jpg\" alt=\"\" width=\"14\" height=\"21\">\r\n"
            "<img src=\"images/szamok/n2.jpg\" alt=\"\" width=\"14\" height=\"21\">\r\n<span class=\"numtext\">12</span>\r\n]");
  disc.SetVar("ws", "");
  EXPECT_EQ(disc.Get("worksheet.stmp"), "[" + DigitImages("0") + "]");
  disc.SetVar("ws", Numbers(-9999, 0));
  EXPECT_EQ(disc.Get("worksheet.stmp"), "[" + DigitImages("10000") + "]");
}

}  // namespace
}  // namespace qil
