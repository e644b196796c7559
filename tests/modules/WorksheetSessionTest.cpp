// Worksheet work end to end: the disc of WorksheetDisc.h packed with
// `qilcd pack` and driven through `qilcd session` (path of qilcd in the
// environment variable QILCD), with the time of day fixed through
// QILCD_UTC_TIME_OF_DAY_MS.
#include <gtest/gtest.h>

#include "common/Qilcd.h"
#include "modules/WorksheetDisc.h"

namespace qil {
namespace {

namespace fs = std::filesystem;

using test::EditorPage;
using test::ExpectGroupDraws;
using test::ShowDigits;

using test::QilcdRun;

class WorksheetSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    test::WriteWorksheetDisc(dir_.Path() / "src");
    const QilcdRun pack = Qilcd({}, {"pack", "src", "math.dat"});
    ASSERT_EQ(pack.exit_code, 0) << pack.err;
  }

  // Runs qilcd in the test folder: environment ("NAME=VALUE"), arguments, stdin.
  QilcdRun Qilcd(const std::vector<std::string>& environment, const std::vector<std::string>& args,
                 const std::string& input = "") {
    return test::RunQilcd(args, input, dir_.Path(), environment);
  }

  // The bodies answered in one session at the time of day, one per address.
  std::vector<std::string> Session(uint32_t time_of_day, const std::vector<std::string>& addresses) {
    std::string input;
    for (const std::string& address : addresses) input += address + "\n";
    const QilcdRun run =
        Qilcd({"QILCD_UTC_TIME_OF_DAY_MS=" + std::to_string(time_of_day)}, {"session"}, input);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::vector<std::string> bodies;
    for (const test::SessionAnswer& answer : test::ParseSessionAnswers(run.out)) {
      EXPECT_EQ(answer.status + " " + answer.mime, "200 text/html");
      bodies.push_back(ShowDigits(answer.body));
    }
    EXPECT_EQ(bodies.size(), addresses.size());
    bodies.resize(addresses.size());
    return bodies;
  }

  test::TempDir dir_;
};

const std::string kAdded = "alert(\"Problem added to Worksheet.\");";
const std::string kBlankStatistics = "A011= A012= B023= C121= C123= C124= D041=";

std::vector<int32_t> Positions(int32_t from, int32_t to) {
  std::vector<int32_t> positions;
  for (int32_t p = from; p <= to; ++p) positions.push_back(p);
  return positions;
}

TEST_F(WorksheetSession, ByHandUpToTheLimitThenRearrangedCountedAndCleared) {
  std::vector<std::string> addresses;
  for (int i = 0; i <= 21; ++i) addresses.push_back("wadd.stmp?id=" + std::to_string(i));
  addresses.insert(addresses.end(),
                   {"wadd.stmp?id=100", "wadd.stmp?id=101", "wadd.stmp?id=102",  // 25 entries
                    "wadd.stmp?id=50", "wadd.stmp?id=000003",
                    "edit1.stmp?action=remove&id=100", "edit1.stmp?action=remove&id=101",
                    "edit1.stmp?action=remove&id=102", "edit1.stmp?action=moveup&id=3",
                    "edit1.stmp?action=top&id=21", "edit1.stmp?action=bottom&id=0",
                    "statistic.stmp", "worksheet.stmp", "edit1.stmp?action=clearall",
                    "worksheet.stmp", "statistic.stmp"});
  const std::vector<std::string> bodies = Session(0, addresses);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(bodies[i], kAdded) << i;
  EXPECT_EQ(bodies[25], "alert(\"Warning!\\n\\nMaximum number of worksheet items already reached.\");");
  EXPECT_EQ(bodies[26], "alert(\"Warning!\\n\\nProblem already exists in Worksheet.\");");
  EXPECT_EQ(bodies[29], EditorPage(Positions(0, 21)));
  EXPECT_EQ(bodies[30], EditorPage({0, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                    19, 20, 21}));
  EXPECT_EQ(bodies[32], EditorPage({21, 1, 3, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                    19, 20, 0}));
  EXPECT_EQ(bodies[33], "A011=3 A012=2 B023=12 C121=3 C123=2 C124= D041=");
  EXPECT_EQ(bodies[34], "[\r\n2#\r\n2#\r\n]");
  EXPECT_EQ(bodies[35], "HEAD;FOOT");
  EXPECT_EQ(bodies[36], "[\r\n0#\r\n]");
  EXPECT_EQ(bodies[37], kBlankStatistics);
}

TEST_F(WorksheetSession, GeneratesOncePerTokenAndKeepsTheWorksheetOnError) {
  const uint32_t time = 45296789;  // 12:34:56.789 UTC
  const std::string counts = "TA011=2&TB023=5&TC123=1";
  const std::vector<std::string> bodies = Session(
      time, {"edit1.stmp?action=gensheet_main&" + counts + "&rnd=77",
             "edit1.stmp?action=gensheet&" + counts + "&rnd=77", "edit1.stmp?action=gensheet&TA011=3&rnd=77",
             "edit1.stmp?action=gensheet&TA011=4&rnd=78", "edit1.stmp", "statistic.stmp",
             "worksheet.stmp", "creator.stmp", "edit1.stmp?action=gensheet&TA011=3&rnd=78",
             "wadd.stmp?id=7", "edit1.stmp"});
  std::set<int32_t> drawn;
  ExpectGroupDraws(time, 0, 3, 2, drawn);
  ExpectGroupDraws(time, 5, 12, 5, drawn);
  ExpectGroupDraws(time, 20, 2, 1, drawn);
  const std::string generated = EditorPage({drawn.begin(), drawn.end()});

  EXPECT_EQ(bodies[0], "FRAME[action=gensheet&" + counts + "&rnd=77]");
  EXPECT_EQ(bodies[1], generated);
  EXPECT_EQ(bodies[2], generated);
  EXPECT_EQ(bodies[3],
            "HEAD;<pre>Error executing template script: \"/edit1.stmp?action=gensheet&TA011=4&rnd=78\""
            "\r\nImpossible value for random generator: generate 4 out of 3</pre>");
  EXPECT_EQ(bodies[4], generated);
  EXPECT_EQ(bodies[5], "A011=2 A012= B023=5 C121= C123=1 C124= D041=");
  EXPECT_EQ(bodies[6], "[\r\n8#\r\n]");
  EXPECT_EQ(bodies[7], "A011=3/3 A012=2/2 A014=0/0 B023=12/12 C123=2/2 C124=0/0 D041=0/0 Z991=/");
  EXPECT_EQ(bodies[8], EditorPage({0, 1, 2}));
  EXPECT_EQ(bodies[9], kAdded);
  EXPECT_EQ(bodies[10], EditorPage({0, 1, 2, 7}));
}

TEST_F(WorksheetSession, TheTimeOfDayDecidesTheDraws) {
  for (uint32_t time : {0u, 1u, 86399999u}) {
    const std::vector<std::string> bodies =
        Session(time, {"edit1.stmp?action=gensheet&TB023=6&rnd=x"});
    std::set<int32_t> drawn;
    ExpectGroupDraws(time, 5, 12, 6, drawn);
    EXPECT_EQ(bodies[0], EditorPage({drawn.begin(), drawn.end()})) << time;
  }
}

TEST_F(WorksheetSession, ABadTimeOfDayIsRefused) {
  for (const char* value : {"86400000", "-1", "noon", "99999999999", ""}) {
    const QilcdRun run = Qilcd({std::string("QILCD_UTC_TIME_OF_DAY_MS=") + value}, {"session"}, "worksheet.stmp\n");
    EXPECT_EQ(run.exit_code, 2) << value;
    EXPECT_EQ(run.out, "") << value;
    EXPECT_NE(run.err.find("QILCD_UTC_TIME_OF_DAY_MS"), std::string::npos) << value;
  }
}

}  // namespace
}  // namespace qil
