// qilcd pdf on the demo disc: problem numbers as the disc prints them, the
// sheet code on every page, and bad arguments that leave OUT as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "archive/ArchiveReader.h"
#include "common/Qilcd.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/SheetCode.h"
#include "sheetpdf/PdfFile.h"

namespace qil {
namespace {

using test::PdfFile;
using test::RunQilcd;

class VerbPdf : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::QilcdPath().empty() || !PdfFile::ToolsPresent()) GTEST_SKIP() << "needs qilcd and poppler-utils";
  }
  test::TempDir dir;
};

// "1,020" is one number (020 cannot be one), "1,200" two.
TEST_F(VerbPdf, WritesTheSheetAndKeyWithTheCodeOfItsProblems) {
  const std::string out = dir.File("sheet.pdf");
  const auto run = RunQilcd({"pdf", "--archive", QIL_DEMO_DISC, "--problems", "87, 1,020,7,1,200", "--key", "--paper",
                             "letter", "--title", "Fractions <Friday> & more", out});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const PdfFile pdf(test::ReadBytes(out));
  EXPECT_EQ(pdf.PageSize(), "612 x 792");
  std::smatch code;
  const std::string first = pdf.PageText(1);
  ASSERT_TRUE(std::regex_search(first, code, std::regex(R"(Code ([0-9A-Z-]+)\n)"))) << first;
  std::string all;
  for (int page = 1; page <= pdf.Pages(); ++page) {
    const std::string text = pdf.PageText(page);
    EXPECT_NE(text.find("Code " + code[1].str() + " "), std::string::npos) << "page " << page;
    all += text;
  }
  for (const char* line : {"Fractions <Friday> & more", "1. (problem 87)", "2. (problem 1,020)", "3. (problem 7)",
                           "4. (problem 1)", "5. (problem 200)", "Answer key"}) {
    EXPECT_NE(all.find(line), std::string::npos) << line;
  }
  ArchiveReader archive;
  archive.Open(QIL_DEMO_DISC, std::string(), true);
  LevelFoldingDatabase db;
  db.Load(archive);
  EXPECT_EQ(DecodeSheetCode(db, code[1].str()).positions, (std::vector<int32_t>{86, 1019, 6, 0, 199}));
}

TEST_F(VerbPdf, BadArgumentsSayWhyAndLeaveOutAlone) {
  const std::string out = dir.File("old.pdf");
  test::WriteBytes(out, "old");
  const std::string missing_disc = dir.File("none.dat");
  const std::vector<std::vector<std::string>> cases = {
      {"--archive", QIL_DEMO_DISC, "--problems", "1,x", out},
      {"--archive", QIL_DEMO_DISC, "--problems", "1,,2", out},
      {"--archive", QIL_DEMO_DISC, "--problems", "020", out},
      {"--archive", QIL_DEMO_DISC, "--problems", "5000", out},
      {"--archive", QIL_DEMO_DISC, "--problems", "3", "--paper", "a5", out},
      {"--archive", QIL_DEMO_DISC, "--problems", "3", "--colour", out},
      {"--archive", QIL_DEMO_DISC, "--problems", "3"},
      {"--archive", QIL_DEMO_DISC, "--problems"},
      {"--archive", missing_disc, "--problems", "3", out},
  };
  for (std::vector<std::string> args : cases) {
    args.insert(args.begin(), "pdf");
    const auto run = RunQilcd(args);
    EXPECT_EQ(run.exit_code, 2) << args.back();
    EXPECT_TRUE(run.err.starts_with("qilcd pdf: ")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(test::ReadBytes(out), "old");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary file left
}

}  // namespace
}  // namespace qil
