// Drives the qilcd binary (path in the environment variable QILCD) over
// archives built here, checking the get and session contracts.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/ArchiveWriter.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"

namespace qil {
namespace {

using test::QilcdRun;
using test::SessionAnswer;

class Qilcd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    ArchiveWriter writer;
    writer.AddEntry("index.html", "<html>start</html>");
    writer.AddEntry("images/a b.gif", std::string("GIF89a\0\n\r\n", 10));
    writer.AddEntry("empty.txt", "");
    writer.AddEntry("page.stmp", "<%%template%%><%section name=body%>x<%/section%>");
    writer.AddEntry("broken.stmp", "not a template");
    writer.WriteToFile(dir_.File("math.dat"));
  }
  // Runs qilcd with args in dir_ and stdin from input.
  QilcdRun Exec(const std::vector<std::string>& args, const std::string& input = "") {
    return test::RunQilcd(args, input, dir_.Path());
  }

  test::TempDir dir_;
};

TEST_F(Qilcd, SessionAnswersAMixedStreamWithExactFraming) {
  const QilcdRun run = Exec({"session"},
                            "qilproto://qilproto_local/index.html\r\n"
                            "/images/a%20b.gif\n"
                            "nothing.htm\n"
                            "page.stmp?x=1\n"
                            "qilproto://qilproto_local/missing.stmp\n"
                            "broken.stmp\n"
                            "empty.txt\n"
                            "\n"
                            "index.html");  // last line without a line end
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::vector<SessionAnswer> answers = test::ParseSessionAnswers(run.out);
  ASSERT_EQ(answers.size(), 9u);
  EXPECT_EQ(answers[0].status + " " + answers[0].mime, "200 text/html");
  EXPECT_EQ(answers[0].body, "<html>start</html>");
  EXPECT_EQ(answers[1].status + " " + answers[1].mime, "200 image/gif");
  EXPECT_EQ(answers[1].body, std::string("GIF89a\0\n\r\n", 10));
  EXPECT_EQ(answers[2].status + " " + answers[2].mime, "404 -");
  EXPECT_EQ(answers[3].status + " " + answers[3].mime, "200 text/html");
  EXPECT_EQ(answers[3].body,
            "<pre>Template script not found for template: \"/page.stmp?x=1\"\r\n</pre>");
  EXPECT_EQ(answers[4].status, "404");  // a template the archive lacks never reaches the manager
  EXPECT_EQ(answers[5].body,
            "<pre>Error executing template script: \"/broken.stmp\"\r\n"
            "Trying to parse non-template: /broken.stmp\r\n</pre>");
  EXPECT_EQ(answers[6].status + " " + answers[6].mime, "200 text/plain");
  EXPECT_EQ(answers[6].body, "");
  EXPECT_EQ(answers[7].status, "404");
  EXPECT_EQ(answers[8].body, "<html>start</html>");
}

TEST_F(Qilcd, SessionSurvivesHostileAddresses) {
  std::string input;
  input += "qilproto://qilproto_local/" + std::string(100 * 1024, 'a') + "\n";
  input += "index.html%\nindex.html%4\nindex.html%zz\n";
  input += "page.stmp?" + std::string(20000, '&') + "\n";
  input += "index.html\n";
  const QilcdRun run = Exec({"session", "--archive", "math.dat"}, input);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const std::vector<SessionAnswer> answers = test::ParseSessionAnswers(run.out);
  ASSERT_EQ(answers.size(), 6u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(answers[i].status, "404") << i;
  EXPECT_EQ(answers[4].status, "404");  // decoded address longer than the decoding buffer
  EXPECT_EQ(answers[5].status, "200");
}

TEST_F(Qilcd, GetWritesTheBodyOrFails) {
  QilcdRun run = Exec({"get", "--archive", "math.dat", "/index.html"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "<html>start</html>");

  run = Exec({"get", "qilproto://qilproto_local/images/a%20b.gif"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, std::string("GIF89a\0\n\r\n", 10));

  run = Exec({"get", "nothing.htm"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("no answer"), std::string::npos);
}

TEST_F(Qilcd, StartUpFailureAndBadArguments) {
  QilcdRun run = Exec({"get", "--archive", "absent.dat", "index.html"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err, "Cannot open file absent.dat\n");
  EXPECT_EQ(run.out, "");

  test::WriteBytes(dir_.File("junk.dat"), std::string(300, 'x'));
  run = Exec({"session", "--archive", "junk.dat"}, "index.html\n");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err, "Bad archive header.\n");
  EXPECT_EQ(run.out, "");

  EXPECT_NE(Exec({"get"}).exit_code, 0);
  EXPECT_NE(Exec({"get", "a", "b"}).exit_code, 0);
  EXPECT_NE(Exec({"get", "--archive"}).exit_code, 0);
  EXPECT_NE(Exec({"session", "--bogus"}).exit_code, 0);
  EXPECT_NE(Exec({"session", "extra"}).exit_code, 0);
  run = Exec({"get", "--clipboard", "clip.rtf", "index.html"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("clip.rtf")));  // nothing was copied
}

}  // namespace
}  // namespace qil
