// The worksheet pages served in process over the small disc of WorksheetDisc.h:
// adding by hand, the editor's actions and rows, generation with a fixed time
// of day, the generator form, statistics and counter, and hostile input.
#include <gtest/gtest.h>

#include <string>

#include "modules/WorksheetDisc.h"
#include "modules/WorksheetGenerator.h"

namespace qil {
namespace {

using test::EditorPage;
using test::ExpectGroupDraws;
using test::Row;
using test::ShowDigits;
using test::WorksheetPages;
using test::WorksheetText;

const std::string kAdded = "alert(\"Problem added to Worksheet.\");";
const std::string kExists = "alert(\"Warning!\\n\\nProblem already exists in Worksheet.\");";
const std::string kFull = "alert(\"Warning!\\n\\nMaximum number of worksheet items already reached.\");";
const std::string kErrorStart = "<pre>Error executing template script: ";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// ---------------------------------------------------------------- the random source

TEST(WorksheetRandom, FollowsTheCongruentialSequence) {
  // Reference values worked out separately with arbitrary-precision integers.
  WorksheetRandom random(12345);
  for (uint32_t expected : {3u, 2u, 0u, 5u, 6u, 3u, 4u, 0u}) EXPECT_EQ(random.Below(10), expected);
  EXPECT_EQ(random.Seed(), 340655249u);
  random.Reseed(86399999);
  for (uint32_t expected : {723u, 995u, 338u, 231u, 153u}) EXPECT_EQ(random.Below(1000), expected);
  random.Reseed(0);
  for (uint32_t expected : {0u, 134775813u, 3698175006u}) EXPECT_EQ(random.Below(4294967295u), expected);
  random.Reseed(77);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(random.Below(1), 0u);
}

// ---------------------------------------------------------------- wadd

TEST(WorksheetAdd, AddsOnceWhateverTheSpellingOfTheNumber) {
  WorksheetPages pages;
  EXPECT_EQ(pages.Get("wadd.stmp?id=000123"), kAdded);
  EXPECT_EQ(pages.Var("ws"), "123");
  EXPECT_EQ(pages.Get("wadd.stmp?id=123"), kExists);
  EXPECT_EQ(pages.Get("wadd.stmp?ID=0123"), kExists);  // item names ignore letter case
  EXPECT_EQ(pages.Get("wadd.stmp?id=-5"), kAdded);      // any integer is accepted
  EXPECT_EQ(pages.Get("wadd.stmp?id=2147483647"), kAdded);
  EXPECT_EQ(pages.Var("ws"), "123,-5,2147483647");
}

TEST(WorksheetAdd, BadIdsAreConversionErrorsThatStoreNothing) {
  WorksheetPages pages;
  pages.SetVar("ws", "4");
  for (const char* address : {"wadd.stmp", "wadd.stmp?id=", "wadd.stmp?id=abc", "wadd.stmp?id=12x",
                              "wadd.stmp?id=2147483648", "wadd.stmp?id=4294967300",
                              "wadd.stmp?id=99999999999999999999"}) {
    const std::string page = pages.Get(address);
    EXPECT_TRUE(StartsWith(page, kErrorStart)) << address << ": " << page;
    EXPECT_NE(page.find("is not a valid integer value"), std::string::npos) << page;
    EXPECT_EQ(pages.Var("ws"), "4") << address;
  }
}

TEST(WorksheetAdd, TwentyFiveByHandThenRefusedButDuplicatesStillReported) {
  WorksheetPages pages;
  for (int i = 0; i < 25; ++i) ASSERT_EQ(pages.Get("wadd.stmp?id=" + std::to_string(i)), kAdded) << i;
  const std::string full = pages.Var("ws");
  EXPECT_EQ(pages.Get("wadd.stmp?id=25"), kFull);
  EXPECT_EQ(pages.Get("wadd.stmp?id=24"), kExists);  // the duplicate test comes first
  EXPECT_EQ(pages.Var("ws"), full);

  pages.SetVar("ws", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30");
  EXPECT_EQ(pages.Get("wadd.stmp?id=0"), kFull);  // a generated worksheet may hold more

  std::string huge;
  for (int i = 0; i < 10000; ++i) huge += (i ? "," : "") + std::to_string(i);
  pages.SetVar("ws", huge);
  EXPECT_EQ(pages.Get("wadd.stmp?id=10000"), kFull);
  EXPECT_EQ(pages.Get("wadd.stmp?id=9999"), kExists);
  EXPECT_EQ(pages.Var("ws"), huge);
}

TEST(WorksheetAdd, ReadsQuotedAndBlankSeparatedItems) {
  WorksheetPages pages;
  pages.SetVar("ws", "\"7\" 8,\"9\"");
  EXPECT_EQ(pages.Get("wadd.stmp?id=8"), kExists);
  EXPECT_EQ(pages.Get("wadd.stmp?id=9"), kExists);
  EXPECT_EQ(pages.Get("wadd.stmp?id=10"), kAdded);
  EXPECT_EQ(pages.Var("ws"), "7,8,9,10");
}

// ---------------------------------------------------------------- edit1

TEST(WorksheetEdit, MovesAndRemovesByExactEntry) {
  WorksheetPages pages;
  pages.SetVar("ws", "5,6,7,8");
  struct Step {
    const char* query;
    const char* after;
  };
  const Step steps[] = {
      {"action=moveup&id=7", "5,7,6,8"},  {"action=movedn&id=5", "7,5,6,8"},
      {"action=top&id=000008", "8,7,5,6"}, {"action=bottom&id=7", "8,5,6,7"},
      {"action=moveup&id=8", "8,5,6,7"},  {"action=movedn&id=7", "8,5,6,7"},
      {"action=top&id=8", "8,5,6,7"},     {"action=bottom&id=7", "8,5,6,7"},
      {"action=remove&id=9", "8,5,6,7"},  {"action=remove", "8,5,6,7"},
      {"action=remove&id=x", "8,5,6,7"},  {"action=remove&id=4294967302", "8,5,6,7"},
      {"action=remove&id=6", "8,5,7"},    {"action=movedn&id=8", "5,8,7"},
  };
  for (const Step& step : steps) {
    pages.Get(std::string("edit1.stmp?") + step.query);
    EXPECT_EQ(pages.Var("ws"), step.after) << step.query;
  }
  EXPECT_EQ(ShowDigits(pages.Get("edit1.stmp")), EditorPage({5, 8, 7}));
}

TEST(WorksheetEdit, RearrangingActionsStoreAlsoWhenNothingMovedOthersDoNot) {
  WorksheetPages pages;
  // Blanks and quotes are read as separators; a store writes the plain form back.
  const std::string loose = " 5 , \"6\"";
  for (const char* query : {"", "action=", "action=MoveUp&id=6", "action=REMOVE&id=6",
                            "action=ClearAll", "action=gensheet_main ", "action=nonsense&id=5"}) {
    pages.SetVar("ws", loose);
    EXPECT_EQ(ShowDigits(pages.Get(std::string("edit1.stmp?") + query)), EditorPage({5, 6})) << query;
    EXPECT_EQ(pages.Var("ws"), loose) << query;
  }
  for (const char* query : {"action=moveup&id=5", "action=remove", "action=bottom&id=6"}) {
    pages.SetVar("ws", loose);
    pages.Get(std::string("edit1.stmp?") + query);
    EXPECT_EQ(pages.Var("ws"), "5,6") << query;
  }
}

TEST(WorksheetEdit, ClearAllLeavesHeaderAndFooter) {
  WorksheetPages pages;
  pages.SetVar("ws", "1,2,3");
  EXPECT_EQ(pages.Get("edit1.stmp?action=clearall"), "HEAD;FOOT");
  EXPECT_EQ(pages.Var("ws"), "");
  EXPECT_EQ(pages.Get("wadd.stmp?id=4"), kAdded);
  EXPECT_EQ(pages.Var("ws"), "4");
}

TEST(WorksheetEdit, RowsShowNumberPlaceIdCodeLevelAndRewrittenPage) {
  WorksheetPages pages;
  pages.SetVar("ws", "21,1,0,16");
  EXPECT_EQ(ShowDigits(pages.Get("edit1.stmp")), EditorPage({21, 1, 0, 16}));
}

TEST(WorksheetEdit, EntriesThatNameNoProblemRenderEmptyAndWithoutOverflow) {
  WorksheetPages pages;
  pages.SetVar("ws", "22,2147483647,-1,000004");
  EXPECT_EQ(ShowDigits(pages.Get("edit1.stmp")),
            "HEAD;ROW[1|23|000022|||];ROW[2|2,147,483,648|2147483647|||];"
            "ROW[3|0|-000001|||];" + Row(4, 4) + "FOOT");
}

TEST(WorksheetEdit, AnEntryThatIsNoNumberFailsItsRowAfterTheEarlierOnes) {
  WorksheetPages pages;
  pages.SetVar("ws", "0,abc,2");
  std::string page = pages.Get("edit1.stmp");
  EXPECT_TRUE(StartsWith(ShowDigits(page), "HEAD;" + Row(1, 0) + kErrorStart)) << page;
  EXPECT_NE(page.find("'abc' is not a valid integer value</pre>"), std::string::npos) << page;

  pages.SetVar("ws", "\"1 2\",3");  // a quoted item keeps its blank and is no number
  page = pages.Get("edit1.stmp");
  EXPECT_TRUE(StartsWith(page, "HEAD;" + kErrorStart)) << page;
  EXPECT_EQ(page.find("FOOT"), std::string::npos);
}

TEST(WorksheetEdit, TenThousandEntriesAreShownAndMoved) {
  WorksheetPages pages;
  std::string huge;
  for (int i = 0; i < 10000; ++i) huge += (i ? "," : "") + std::to_string(100 + i);
  pages.SetVar("ws", huge);
  const std::string page = pages.Get("edit1.stmp?action=top&id=10099");
  EXPECT_TRUE(StartsWith(page, "HEAD;ROW[")) << page.substr(0, 200);
  EXPECT_TRUE(page.ends_with("FOOT"));
  EXPECT_EQ(pages.Var("ws"), "10099," + huge.substr(0, huge.size() - std::string(",10099").size()));
}

TEST(WorksheetEdit, GenerationFrameRepeatsTheQueryWithTheActionChanged) {
  WorksheetPages pages;
  pages.SetVar("ws", "3,1");
  EXPECT_EQ(pages.Get("edit1.stmp?action=gensheet_main&TA011=2&rnd=5"),
            "FRAME[action=gensheet&TA011=2&rnd=5]");
  EXPECT_EQ(pages.Get("edit1.stmp?TA011=2&action=gensheet_main&rnd=5&rnd=6"),
            "FRAME[TA011=2&action=gensheet&rnd=5&rnd=6]");
  EXPECT_EQ(pages.Get("edit1.stmp?action=gensheet_main"), "FRAME[action=gensheet]");
  EXPECT_EQ(pages.Var("ws"), "3,1");
  EXPECT_EQ(pages.Var("rnd"), "");
}

// ---------------------------------------------------------------- gensheet

TEST(WorksheetGenerate, DrawsEachGroupFromTheTimeOfDayAndSortsByPosition) {
  WorksheetPages pages;
  pages.SetVar("ws", "4");
  const uint32_t time = 45296789;  // 12:34:56.789 UTC
  pages.SetTimeOfDay(time);
  std::set<int32_t> expected;
  ExpectGroupDraws(time, 0, 3, 2, expected);   // A011
  ExpectGroupDraws(time, 5, 12, 7, expected);  // B023
  ExpectGroupDraws(time, 20, 2, 1, expected);  // C124, read as C123
  ASSERT_EQ(expected.size(), 10u);

  const std::string page = pages.Get("edit1.stmp?action=gensheet&TA011=2&TB023=7&TC123=1&rnd=a1");
  EXPECT_EQ(pages.Var("ws"), WorksheetText(expected));
  EXPECT_EQ(pages.Var("rnd"), "a1");
  EXPECT_EQ(ShowDigits(page), EditorPage({expected.begin(), expected.end()}));

  // The same token again draws nothing, whatever the time.
  pages.SetTimeOfDay(1);
  pages.Get("edit1.stmp?action=gensheet&TA011=3&rnd=a1");
  EXPECT_EQ(pages.Var("ws"), WorksheetText(expected));
}

TEST(WorksheetGenerate, GroupsSeededInOneMillisecondTakeTheSameOffsets) {
  WorksheetPages pages;
  for (uint32_t time : {0u, 999u, 86399999u}) {
    pages.SetTimeOfDay(time);
    pages.Get("edit1.stmp?action=gensheet&TA011=1&TC121=1&rnd=" + std::to_string(time));
    std::set<int32_t> expected;
    ExpectGroupDraws(time, 0, 3, 1, expected);
    ExpectGroupDraws(time, 17, 3, 1, expected);
    EXPECT_EQ(pages.Var("ws"), WorksheetText(expected)) << time;
    EXPECT_EQ(*expected.rbegin() - *expected.begin(), 17) << time;
  }
}

TEST(WorksheetGenerate, AWholeGroupAndMoreThanTwentyFive) {
  WorksheetPages pages;
  pages.SetTimeOfDay(123456);
  pages.Get("edit1.stmp?action=gensheet&TB023=12&TA011=3&TA012=2&TC121=3&TC123=2&rnd=1");
  std::string all;
  for (int i = 0; i <= 21; ++i) all += (i ? "," : "") + std::to_string(i);
  EXPECT_EQ(pages.Var("ws"), all);
  pages.SetVar("ws", all + ",100,101,102,103");
  EXPECT_EQ(pages.Get("wadd.stmp?id=50"), kFull);
}

TEST(WorksheetGenerate, TokenRules) {
  WorksheetPages pages;
  pages.SetVar("ws", "9,3,5");
  // Without a token both sides are empty: nothing is drawn.
  pages.Get("edit1.stmp?action=gensheet&TA011=1");
  EXPECT_EQ(pages.Var("ws"), "9,3,5");
  // Nothing asked for: the worksheet and its order stay, the token is taken.
  pages.Get("edit1.stmp?action=gensheet&TA011=0&TB023=-4&TZ991=3&TA015=1&TA011x=2&rnd=t1");
  EXPECT_EQ(pages.Var("ws"), "9,3,5");
  EXPECT_EQ(pages.Var("rnd"), "t1");
  // A repeated token item: the first one counts.
  pages.Get("edit1.stmp?action=gensheet&TA012=2&rnd=t2&rnd=t3");
  EXPECT_EQ(pages.Var("ws"), "3,4");
  EXPECT_EQ(pages.Var("rnd"), "t2");
  pages.Get("edit1.stmp?action=gensheet&TA011=3&rnd=t2");
  EXPECT_EQ(pages.Var("ws"), "3,4");
  // Counts are read as decimal text; item names ignore letter case.
  pages.Get("edit1.stmp?action=gensheet&ta011=3&TA012=x&TB023=99999999999&rnd=t3");
  EXPECT_EQ(pages.Var("ws"), "0,1,2");
}

TEST(WorksheetGenerate, ImpossibleCountsKeepThePreviousWorksheetAndToken) {
  WorksheetPages pages;
  pages.SetVar("ws", "8,2");
  pages.SetVar("rnd", "old");
  struct Case {
    const char* query;
    const char* message;
  };
  const Case cases[] = {
      {"TA011=4", "generate 4 out of 3"},
      {"TA011=1&TB023=13", "generate 13 out of 12"},
      {"TA011=2147483647", "generate 2147483647 out of 3"},
      {"TC124=1", "generate 1 out of 0"},  // this edition folds level 4 into level 3
      {"TD041=1", "generate 1 out of 0"},
  };
  for (const Case& c : cases) {
    const std::string page = pages.Get(std::string("edit1.stmp?action=gensheet&rnd=new&") + c.query);
    EXPECT_EQ(page, "HEAD;" + kErrorStart + "\"/edit1.stmp?action=gensheet&rnd=new&" + c.query +
                        "\"\r\nImpossible value for random generator: " + c.message + "</pre>");
    EXPECT_EQ(pages.Var("ws"), "8,2");
    EXPECT_EQ(pages.Var("rnd"), "old");
  }
  // The failed token did not stick, so it still generates.
  pages.Get("edit1.stmp?action=gensheet&rnd=new&TA011=3");
  EXPECT_EQ(pages.Var("ws"), "0,1,2");
  EXPECT_EQ(pages.Var("rnd"), "new");
}

TEST(WorksheetGenerate, OverlappingGroupRangesEndWithTheGenerationError) {
  // B023 mapped to A011: endpoint A01 then holds A011 at 0..2, A012 at 3..4 and
  // the former B023 problems, now A011, at 5..16. A011's range (15 positions
  // from 0) covers all of A012's range (3..4).
  WorksheetPages pages("B023=A011\r\n");
  pages.SetVar("ws", "7");
  // A011 takes its whole range, A012 finds no free position: an error, not a hang.
  EXPECT_NE(pages.Get("edit1.stmp?action=gensheet&TA011=15&TA012=1&rnd=1")
                .find("Impossible value for random generator: generate 1 out of 0</pre>"),
            std::string::npos);
  EXPECT_EQ(pages.Var("ws"), "7");

  // At this time of day A011's 14 draws leave exactly one of A012's positions free.
  const uint32_t time = 2;
  pages.SetTimeOfDay(time);
  std::set<int32_t> taken;
  ExpectGroupDraws(time, 0, 15, 14, taken);
  ASSERT_TRUE(taken.count(3) + taken.count(4) == 1);
  EXPECT_NE(pages.Get("edit1.stmp?action=gensheet&TA011=14&TA012=2&rnd=2")
                .find("Impossible value for random generator: generate 2 out of 1</pre>"),
            std::string::npos);
  EXPECT_EQ(pages.Var("ws"), "7");
  pages.Get("edit1.stmp?action=gensheet&TA011=14&TA012=1&rnd=2");
  ExpectGroupDraws(time, 3, 2, 1, taken);
  EXPECT_EQ(pages.Var("ws"), WorksheetText(taken));
  EXPECT_EQ(taken.size(), 15u);

  // With room left the draws are those of the rule.
  pages.SetTimeOfDay(0);
  pages.Get("edit1.stmp?action=gensheet&TA011=2&TA012=2&rnd=3");
  taken.clear();
  ExpectGroupDraws(0, 0, 15, 2, taken);
  ExpectGroupDraws(0, 3, 2, 2, taken);
  EXPECT_EQ(pages.Var("ws"), WorksheetText(taken));
}

// ---------------------------------------------------------------- creator, statistic, worksheet

TEST(WorksheetGeneratorForm, OffersTheCountOfEveryGroup) {
  WorksheetPages pages;
  EXPECT_EQ(pages.Get("creator.stmp?TA011=9"),
            "A011=3/3 A012=2/2 A014=0/0 B023=12/12 C123=2/2 C124=0/0 D041=0/0 Z991=/");
}

TEST(WorksheetStatistics, CountsEntriesPerGroup) {
  WorksheetPages pages;
  const std::string blank = "A011= A012= B023= C121= C123= C124= D041=";
  EXPECT_EQ(pages.Get("statistic.stmp"), blank);
  pages.SetVar("ws", "2,0,21,1,9");
  EXPECT_EQ(pages.Get("statistic.stmp"), "A011=3 A012= B023=1 C121= C123=1 C124= D041=");
  pages.SetVar("ws", "\"4\" 4");
  EXPECT_EQ(pages.Get("statistic.stmp"), "A011= A012=2 B023= C121= C123= C124= D041=");
}

TEST(WorksheetStatistics, EntriesOutsideTheTallyFailTheConversion) {
  WorksheetPages pages;
  for (const char* ws : {"1,22", "1,-1", "abc", "2147483647", "\"\""}) {
    pages.SetVar("ws", ws);
    const std::string page = pages.Get("statistic.stmp");
    EXPECT_EQ(page, kErrorStart + "\"/statistic.stmp\"\r\n'' is not a valid integer value</pre>") << ws;
  }
}

TEST(WorksheetCounter, ShowsTheNumberOfEntriesAsDigitPictures) {
  WorksheetPages pages;
  EXPECT_EQ(ShowDigits(pages.Get("worksheet.stmp")), "[\r\n0#\r\n]");
  pages.SetVar("ws", "1,2,3,4,5,6,7,8,9,10,11,x");
  EXPECT_EQ(ShowDigits(pages.Get("worksheet.stmp")), "[\r\n1#\r\n2#\r\n]");
  std::string huge;
  for (int i = 0; i < 10000; ++i) huge += (i ? ",-" : "-") + std::to_string(i);
  pages.SetVar("ws", huge);
  EXPECT_EQ(ShowDigits(pages.Get("worksheet.stmp")), "[\r\n1#\r\n0#\r\n0#\r\n0#\r\n0#\r\n]");
}

}  // namespace
}  // namespace qil
