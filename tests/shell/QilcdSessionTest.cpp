// What qilcd adds to the engine, over a disc packed here: the session's
// framing, get's output and exit codes, start-up failures and bad arguments,
// the fixed time of day, the clipboard file and the render verb. What pages
// say, and how metafiles are drawn, is tested in
// process by the page tests.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/MemoryStream.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "picture/Metafile.h"

namespace qil::test {
namespace {

const std::string kGif("GIF89a\0\n\r\n", 10);  // a body holding the framing's own bytes
const std::string kStart = "<html>start</html>";

class Qilcd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
    ASSERT_NE(PackDisc(dir_.Path(), {{"index.html", kStart}, {"images/a b.gif", kGif}, {"empty.txt", ""}}), "");
  }
  QilcdRun Run(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
    return RunQilcd(args, "index.html\n", dir_.Path(), environment);
  }
  // A failed run: exit code 2, nothing on stdout, no clipboard file, and
  // exactly one line on stderr.
  void ExpectRefused(const QilcdRun& run) {
    EXPECT_EQ(run.exit_code, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("clip.rtf")));
  }

  TempDir dir_;
};

TEST_F(Qilcd, SessionAnswersEachLineWithItsExactFrame) {
  const QilcdRun run = RunQilcd({"session"},
                                "qilproto://qilproto_local/index.html\r\n/images/a%20b.gif\nnothing.htm\n"
                                "empty.txt\n\n" + std::string(100 * 1024, 'a') + "\nindex.html",  // no LF at the end
                                dir_.Path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string page = "200 text/html 18\n" + kStart + "\n";
  EXPECT_EQ(run.out, page + "200 image/gif 10\n" + kGif + "\n404 - 0\n\n200 text/plain 0\n\n404 - 0\n\n404 - 0\n\n" + page);
}

TEST_F(Qilcd, GetWritesTheBodyAloneOrFails) {
  QilcdRun run = Run({"get", "--archive", "math.dat", "--clipboard", "clip.rtf", "/images/a%20b.gif"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, kGif);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("clip.rtf"))) << "nothing was copied";
  run = Run({"get", "nothing.htm"});
  EXPECT_EQ(std::to_string(run.exit_code) + run.out, "1");
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

TEST_F(Qilcd, StartUpFailuresAndBadArgumentsAreRefused) {
  WriteBytes(dir_.File("junk.dat"), std::string(300, 'x'));
  ASSERT_NE(PackDisc(dir_.Path(), {{"index.html", kStart}}, "other.dat", {"--product-id", "OTHERPRODUCT"}), "");
  for (const char* archive : {"absent.dat", "junk.dat", "other.dat"}) {
    SCOPED_TRACE(archive);
    ExpectRefused(Run({"session", "--archive", archive, "--clipboard", "clip.rtf"}));
    ExpectRefused(Run({"get", "--clipboard", "clip.rtf", "--archive", archive, "index.html"}));
  }
  using Args = std::vector<std::string>;
  for (const Args& args : {Args{"get", "--archive"}, Args{"session", "--clipboard"}, Args{"session", "--bogus"},
                           Args{"session", "extra"}, Args{"get", "a", "b"}, Args{"get"}}) {
    ExpectRefused(Run(args));
  }
}

TEST_F(Qilcd, TimeOfDayIsMillisecondsSinceMidnight) {
  for (const char* value : {"0", "86399999"}) {
    EXPECT_EQ(Run({"session"}, {std::string("QILCD_UTC_TIME_OF_DAY_MS=") + value}).exit_code, 0) << value;
  }
  for (const char* value : {"86400000", "-1", "noon", "", "99999999999", "5e3"}) {
    const QilcdRun run = Run({"session", "--clipboard", "clip.rtf"}, {std::string("QILCD_UTC_TIME_OF_DAY_MS=") + value});
    ExpectRefused(run);
    EXPECT_NE(run.err.find("QILCD_UTC_TIME_OF_DAY_MS"), std::string::npos) << value;
  }
}

// render: a metafile's display form, whole or not at all.
TEST_F(Qilcd, RenderWritesTheDisplayFormOfAMetafile) {
  Bitmap24 bitmap;
  bitmap.width = bitmap.height = 4;
  bitmap.pixels.assign(bitmap.Stride() * 4, 0x40);
  MemoryStream metafile;
  WritePlaceableMetafile(bitmap, metafile);
  WriteBytes(dir_.File("p.wmf"), metafile.Bytes());
  EXPECT_EQ(Run({"render", "p.wmf", "p.svg"}).exit_code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("p.svg")).rfind("<?xml", 0), 0u);
  EXPECT_EQ(Run({"render", "p.wmf", "p.png"}).exit_code, 0);
  EXPECT_EQ(ReadBytes(dir_.File("p.png")).substr(1, 3), "PNG");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"render", "index.html", "x.svg"},
                                               {"render", "absent.wmf", "x.svg"},
                                               {"render", "p.wmf", "no-such-folder/x.svg"}}) {
    const QilcdRun run = Run(args);
    EXPECT_EQ(run.exit_code, 1) << args[1];
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x.svg")));
  EXPECT_EQ(Run({"render", "p.wmf"}).exit_code, 2);
}

}  // namespace
}  // namespace qil::test
