// A problem page read as blocks to print: paragraphs in pango markup that
// is always balanced, and pictures with their attributes, whatever the page.
#include <gtest/gtest.h>
#include <pango/pango.h>

#include "sheetpdf/PartMarkup.h"

namespace qil {
namespace {

using Kind = PartBlock::Kind;

std::vector<std::string> Markups(const std::vector<PartBlock>& blocks) {
  std::vector<std::string> markups;
  for (const PartBlock& block : blocks) markups.push_back(block.kind == Kind::kText ? block.markup : "IMG " + block.source);
  return markups;
}

// Every text block is markup pango accepts.
void ExpectValidMarkup(const std::vector<PartBlock>& blocks) {
  for (const PartBlock& block : blocks) {
    if (block.kind != Kind::kText) continue;
    EXPECT_FALSE(block.markup.empty());
    EXPECT_TRUE(pango_parse_markup(block.markup.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr)) << block.markup;
  }
}

TEST(PartMarkup, ParagraphsCarryTheirStylesAcrossBreaks) {
  const auto blocks = ReadPart(
      "<div>Some  text\n here <B>bold <i>both<br>still</i> b</b> x<sup>2</sup>-y<sub>1</sub> &amp; &lt;tag&gt;</div>"
      "<p></p><p>  </p><p><em>caf\xC3\xA9</em> <strong>and</strong> <u>so</u></p>Tail");
  EXPECT_EQ(Markups(blocks),
            (std::vector<std::string>{"Some text here <b>bold <i>both</i></b>",
                                      "<b><i>still</i> b</b> x<sup>2</sup>-y<sub>1</sub> &amp; &lt;tag&gt;",
                                      "<i>caf\xC3\xA9</i> <b>and</b> <u>so</u>", "Tail"}));
  ExpectValidMarkup(blocks);
}

TEST(PartMarkup, PicturesKeepSourceAndClampedSizeButNotTheirAltText) {
  const auto blocks = ReadPart(
      "<div class=\"problem\"><img src=\"M_image1.png\" width=\"620\" height=\"72\" alt=\"Secret alt\">\n<br>\n"
      "<img src=\"M_image2.wmf\" width=\"12px\" height=\"abc\"><img src='c.jpg' width=\"99999999\" height=\" 40 \">"
      "<img width=\"-5\" height=\"3.5\"></div>");
  ASSERT_EQ(blocks.size(), 4u);
  const int expected[][2] = {{620, 72}, {12, 0}, {kMaxPictureAttribute, 40}, {0, 0}};
  const char* sources[] = {"M_image1.png", "M_image2.wmf", "c.jpg", ""};
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].kind, Kind::kPicture);
    EXPECT_EQ(blocks[i].source, sources[i]);
    EXPECT_EQ(blocks[i].width, expected[i][0]) << i;
    EXPECT_EQ(blocks[i].height, expected[i][1]) << i;
  }
}

TEST(PartMarkup, DamagedPagesGiveBalancedMarkup) {
  // Windows-1252 text, scripts and styles, unclosed and misnested tags, a
  // table, a zero byte, and nesting deeper than the walk goes.
  const auto blocks = ReadPart(
      "<script>var hidden = 1;</script><style>p { x: 1 }</style><title>Hidden</title>"
      "caf\xE9 <b>open <i>mis</b>nested</i> <table><tr><td>cell1<td>cell2</table>"
      "<sup>tail");
  // The parser closes the <i> with the <b> around it.
  EXPECT_EQ(Markups(blocks), (std::vector<std::string>{"caf\xC3\xA9 <b>open <i>mis</i></b>nested",
                                                       "cell1 cell2", "<sup>tail</sup>"}));
  ExpectValidMarkup(blocks);

  std::string deep;
  for (int i = 0; i < 3000; ++i) deep += i % 2 ? "<i>" : "<div>";
  deep += "deep";
  ExpectValidMarkup(ReadPart(deep));
  ExpectValidMarkup(ReadPart(std::string("\0\x01<<>>&&;<b \"x", 14)));
  EXPECT_TRUE(ReadPart("").empty());
  EXPECT_TRUE(ReadPart("  \n <br><p></p> ").empty());
}

}  // namespace
}  // namespace qil
