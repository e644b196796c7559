// Worksheets written to PDF in process and read back with poppler's tools:
// from the demo disc (its pictures, numbers, headings, footers), and
// from a small bank whose problems are text, so that pdftotext shows where
// each one landed (never split unless taller than a page), and whose
// damaged problems and pictures must give notes.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "archive/ArchiveReader.h"
#include "base/Convert.h"
#include "pictures/PictureFiles.h"
#include "mathdb/BankFixture.h"
#include "mathdb/MathDatabase.h"
#include "sheetpdf/PdfFile.h"
#include "sheetpdf/SheetPdf.h"

namespace qil {
namespace {

using test::PdfFile;

// "N. (problem D)" lines of a page, as (N, D).
std::vector<std::pair<int, std::string>> NumberLines(const std::string& text) {
  static const std::regex line(R"((?:^|\n)\s*(\d+)\.\s+\(problem ([0-9,-]+)\))");
  std::vector<std::pair<int, std::string>> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
    found.emplace_back(std::stoi((*it)[1]), (*it)[2]);
  }
  return found;
}

// The pages of pdf that hold text, from 1.
std::vector<std::string> PageTexts(const PdfFile& pdf) {
  std::vector<std::string> pages;
  for (int page = 1, count = pdf.Pages(); page <= count; ++page) pages.push_back(pdf.PageText(page));
  return pages;
}

class SheetPdf : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PdfFile::ToolsPresent()) GTEST_SKIP() << "poppler-utils are not installed";
  }
};

// ------------------------------------------------------------ the demo disc

class DemoDiscSheet : public SheetPdf {
 protected:
  static void SetUpTestSuite() {
    archive_.Open(QIL_DEMO_DISC, std::string(), true);
    db_.Load(archive_);
  }

  // "position/file" for each raster picture the part of position places.
  static std::vector<std::string> RasterPictures(int32_t position, const char* part) {
    std::vector<std::string> keys;
    const ProblemBundlePtr bundle = db_.GetBundle(position);
    const std::string html(bundle->FindFile(part).value_or(""));
    static const std::regex src(R"re(src="([^"]+)")re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), src); it != std::sregex_iterator(); ++it) {
      const std::string_view file = bundle->FindFile((*it)[1].str()).value_or("");
      if (file.starts_with("\x89PNG") || file.starts_with("\xFF\xD8") || file.starts_with("BM")) {
        keys.push_back(std::to_string(position) + "/" + (*it)[1].str());
      }
    }
    db_.ReleaseBundle(position, bundle);
    return keys;
  }

  static ArchiveReader archive_;
  static MathDatabase db_;
};
ArchiveReader DemoDiscSheet::archive_;
MathDatabase DemoDiscSheet::db_;

TEST_F(DemoDiscSheet, SheetThenKeyWithNumbersHeadingsFootersAndOneImagePerPicture) {
  // Metafile formulas (86, 99), a figure on both pages (1019); metafiles are no images.
  const std::vector<int32_t> positions = {0, 86, 99, 1019, 499, 11, 250};
  SheetPdfOptions options;
  options.code = "TEST-C0DE";
  options.answerKey = true;
  const PdfFile pdf(WriteWorksheetPdf(db_, positions, options));
  EXPECT_EQ(pdf.PageSize(), "595 x 842");
  const std::vector<std::string> pages = PageTexts(pdf);

  std::vector<std::pair<int, std::string>> expected, sheet, key;
  for (size_t i = 0; i < positions.size(); ++i) expected.emplace_back(i + 1, FormatThousands(positions[i] + 1));
  size_t sheet_pages = 0;
  while (sheet_pages < pages.size() && pages[sheet_pages].find("Answer key") == std::string::npos) ++sheet_pages;
  ASSERT_LT(sheet_pages, pages.size());
  for (size_t p = 0; p < pages.size(); ++p) {
    const bool in_key = p >= sheet_pages;
    for (const auto& line : NumberLines(pages[p])) (in_key ? key : sheet).push_back(line);
    const std::string counter = in_key ? "Answer key, page " + std::to_string(p - sheet_pages + 1) + " of " +
                                             std::to_string(pages.size() - sheet_pages)
                                       : "page " + std::to_string(p + 1) + " of " + std::to_string(sheet_pages);
    EXPECT_TRUE(std::regex_search(pages[p], std::regex("Code TEST-C0DE\\s+" + counter + "\\s*$"))) << pages[p];
  }
  EXPECT_EQ(sheet, expected);
  EXPECT_EQ(key, expected);
  EXPECT_TRUE(std::regex_search(pages[0], std::regex(R"(^\s*Worksheet\s+Code TEST-C0DE\s*\n\s*Name\s+Date)")));
  EXPECT_TRUE(std::regex_search(pages[sheet_pages], std::regex(R"(^\s*Answer key\s+Code TEST-C0DE\s*\n\s*Worksheet)")));

  // One image per raster picture placed; a picture on both pages is one object.
  std::vector<std::string> placed;
  for (const char* part : {"P.htm", "S.htm"}) {
    for (int32_t position : positions) {
      for (const std::string& picture : RasterPictures(position, part)) placed.push_back(picture);
    }
  }
  const std::vector<test::PdfImage> images = pdf.Images();
  EXPECT_EQ(images.size(), placed.size());
  std::set<int> objects;
  for (const test::PdfImage& image : images) objects.insert(image.object);
  EXPECT_EQ(objects.size(), std::set<std::string>(placed.begin(), placed.end()).size());
}

// ----------------------------------------------------------- the small bank

// Positions: 0 text with styles; 1 pictures missing, broken, fine (twice,
// once by a path), huge, a colour and a CMYK JPEG, no S.htm; 2 damaged
// pages; 3 a problem taller than a page (kTallLines paragraphs); from 4 on
// kItems problems of eight lines.
constexpr int kTallLines = 70;
constexpr int kItems = 12;

class SmallBankSheet : public SheetPdf {
 protected:
  static void SetUpTestSuite() {
    using namespace picturefiles;
    dir_ = new test::TempDir();
    test::BankSource bank(dir_->Path() / "src");
    bank.SetEndpoints({"A01=Alpha"});
    bank.AddProblem("A011", "01", {{"P.htm", "<p>Alpha <b>bold</b> and x<sup>2</sup></p><p>Second &amp; last</p>"},
                                   {"S.htm", "<p>Alpha solved</p>"}});
    bank.AddProblem("A011", "02", {{"P.htm", "<img src=\"none.png\" width=\"50\" height=\"20\">"
                                             "<img src=\"broken.png\" width=\"50\" height=\"20\">"
                                             "<img src=\"ok.png\" width=\"40\" height=\"30\"><img src=\"sub/ok.png\">"
                                             "<img src=\"ok.png\" width=\"99999999\" height=\"99999999\">"
                                             "<img src=\"rgb.jpg\"><img src=\"cmyk.jpg\">"},
                                   {"broken.png", "\x89PNG\r\n\x1a\nbroken"},
                                   {"rgb.jpg", EncodeJPEG(Pattern(20, 10))},
                                   {"cmyk.jpg", EncodeJPEG(Pattern(20, 10, 4))},
                                   {"ok.png", EncodePNG(Pattern(40, 30))}});
    bank.AddProblem("A011", "03", {{"P.htm", "<div><b>Unclosed <i>tags & more<table><tr><td>cell1<td>cell2"},
                                   {"S.htm", std::string("\xFF\xFE\0garbage<<<>>>", 16)}});
    auto lines = [](const std::string& stem, int count) {
      std::string part;
      for (int line = 1; line <= count; ++line) part += "<p>" + stem + " line " + std::to_string(line) + "</p>";
      return part;
    };
    bank.AddProblem("A011", "04", {{"P.htm", lines("Tall", kTallLines)}, {"S.htm", "short"}});
    for (int item = 1; item <= kItems; ++item) {
      bank.AddProblem("A011", std::to_string(10 + item), {{"P.htm", lines("Item " + std::to_string(item), 8)}});
    }
    bank.WriteArchive(dir_->Path() / "math.dat");
    archive_.Open((dir_->Path() / "math.dat").string(), std::string(), true);
    db_.Load(archive_);
  }
  static void TearDownTestSuite() {
    archive_.Close();
    delete dir_;
  }

  static test::TempDir* dir_;
  static ArchiveReader archive_;
  static MathDatabase db_;
};
test::TempDir* SmallBankSheet::dir_ = nullptr;
ArchiveReader SmallBankSheet::archive_;
MathDatabase SmallBankSheet::db_;

TEST_F(SmallBankSheet, ProblemsStayOnOnePageUnlessTallerThanAPage) {
  std::vector<int32_t> positions = {4, 5, 6, 3};  // the tall one fourth
  for (int item = 4; item <= kItems; ++item) positions.push_back(3 + item);
  const PdfFile pdf(WriteWorksheetPdf(db_, positions, SheetPdfOptions{}));
  const std::vector<std::string> pages = PageTexts(pdf);
  ASSERT_GE(pages.size(), 4u);

  std::map<int, size_t> page_of;  // number on the sheet -> page
  for (size_t p = 0; p < pages.size(); ++p) {
    for (const auto& [number, disc] : NumberLines(pages[p])) page_of[number] = p;
  }
  ASSERT_EQ(page_of.size(), positions.size());
  for (size_t i = 0; i < positions.size(); ++i) {
    if (positions[i] == 3) continue;
    const std::string item = "Item " + std::to_string(positions[i] - 3) + " line ";
    for (int line = 1; line <= 8; ++line) {
      EXPECT_NE(pages[page_of[i + 1]].find(item + std::to_string(line) + "\n"), std::string::npos)
          << "problem " << i + 1 << " line " << line << " is not on page " << page_of[i + 1] + 1;
    }
  }
  // The tall one starts a fresh page and runs on, every line once, in order.
  const size_t first = page_of[4];
  EXPECT_TRUE(std::regex_search(pages[first], std::regex(R"(^\s*4\.\s+\(problem 4\)\s*\n\s*Tall line 1\n)")));
  size_t page = first;
  for (int line = 1; line <= kTallLines; ++line) {
    const std::string text = "Tall line " + std::to_string(line) + "\n";
    if (pages[page].find(text) == std::string::npos) ++page;
    ASSERT_LT(page, pages.size());
    EXPECT_NE(pages[page].find(text), std::string::npos) << text;
  }
  EXPECT_GT(page, first);
  EXPECT_GE(page_of[5], page);
}

TEST_F(SmallBankSheet, DamageGivesNotesAndTheSheetGoesOn) {
  SheetPdfOptions options;
  options.answerKey = true;
  const PdfFile pdf(WriteWorksheetPdf(db_, {0, 1, 2, 5000, -1}, options));
  std::string all;
  for (const std::string& page : PageTexts(pdf)) all += page;
  for (const char* expected :
       {"Alpha bold and x", "Second & last", "[picture missing]", "[picture cannot be shown]",
        "Unclosed tags & more", "cell1 cell2", "4. (problem 5,001)", "[there is no problem 5,001 on this disc]",
        "5. (problem 0)", "[there is no problem 0 on this disc]", "Alpha solved", "[no solution on this disc]"}) {
    EXPECT_NE(all.find(expected), std::string::npos) << expected << " in\n" << all;
  }
  // ok.png three times (one of them found by its path's last part), one object,
  // the huge one no wider than the text column; then the colour JPEG as it
  // is and the CMYK one as pixels.
  const std::vector<test::PdfImage> images = pdf.Images();
  ASSERT_EQ(images.size(), 5u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(images[i].object, images[0].object);
    EXPECT_EQ(std::make_pair(images[i].width, images[i].height), std::make_pair(40, 30));
    EXPECT_EQ(images[i].encoding, "image");
  }
  EXPECT_EQ(images[0].x_ppi, 96);  // 40 CSS pixels at 96 an inch
  EXPECT_EQ(images[1].x_ppi, 96);
  EXPECT_EQ(images[2].x_ppi, 6);   // 40 pixels across the 467 pt of the column
  EXPECT_EQ(images[3].encoding, "jpeg");
  EXPECT_EQ(images[4].encoding, "image");
  EXPECT_EQ(std::make_pair(images[4].width, images[4].height), std::make_pair(20, 10));
}

}  // namespace
}  // namespace qil
