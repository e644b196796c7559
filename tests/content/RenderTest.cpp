// The renderer: sheets and figures come out at the promised sizes, text is drawn
// in the styles asked for, bad markup is refused, and equal input gives equal pixels.
#include <gtest/gtest.h>

#include <stdexcept>

#include "DiscWriter.h"
#include "Render.h"

namespace qil::disc {
namespace {

int Inked(const Raster& r) {
  int n = 0;
  for (uint32_t p : r.pixels) n += p != 0xFFFFFF ? 1 : 0;
  return n;
}

bool HasBluish(const Raster& r) {
  for (uint32_t p : r.pixels) {
    int red = (p >> 16) & 255, blue = p & 255;
    if (blue > red + 40) return true;
  }
  return false;
}

class RenderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { renderer_ = new Renderer(); }
  static void TearDownTestSuite() { delete renderer_; }
  static Renderer& R() { return *renderer_; }
  static Renderer* renderer_;
};

Renderer* RenderTest::renderer_ = nullptr;

TEST_F(RenderTest, SheetsKeepTheirWidthAndGrowDownwards) {
  Sheet one;
  one.Para("Solve the equation.");
  Sheet three = one;
  three.Line(Formula("3<i>x</i> + 5 = 20")).Para("A second paragraph that is long enough to wrap onto a second line "
                                                  "of the picture, because it goes on and on for a while.");
  Raster a = R().RenderSheet(one, 620), b = R().RenderSheet(three, 620);
  EXPECT_EQ(a.width, 620);
  EXPECT_EQ(b.width, 620);
  EXPECT_GT(b.height, a.height + 40);
  EXPECT_EQ(b.pixels.size(), size_t(620) * b.height);
  EXPECT_GT(Inked(a), 100);
}

TEST_F(RenderTest, AWideFormulaWidensThePicture) {
  Sheet s;
  Formula wide;
  for (int i = 0; i < 30; ++i) wide.Frac("123", "456").T(" + ");
  s.Line(wide);
  Raster r = R().RenderSheet(s, 300);
  EXPECT_GT(r.width, 300);
}

TEST_F(RenderTest, AnswersAreDrawnInTheAccentColour) {
  Sheet plain, answer;
  plain.Para("x = 5");
  answer.Answer(Formula("x = 5"));
  EXPECT_FALSE(HasBluish(R().RenderSheet(plain, 200)));
  EXPECT_TRUE(HasBluish(R().RenderSheet(answer, 200)));
}

TEST_F(RenderTest, BadMarkupIsRefused) {
  Sheet s;
  s.Para("3 < 4");  // an unescaped "<" is not markup
  try {
    R().RenderSheet(s, 300);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("3 < 4"), std::string::npos) << e.what();
  }
}

TEST_F(RenderTest, FiguresHaveTheirSizeAndEqualInputGivesEqualPixels) {
  Figure f;
  f.width = 120;
  f.height = 80;
  f.draw = [](Painter& p) {
    p.Polygon({{10, 70}, {110, 70}, {60, 10}}, &kFill);
    p.Label({60, 50}, "<i>x</i>", 0.5, 0.5, 11.0, kMark);
  };
  Raster a = R().RenderFigure(f), b = R().RenderFigure(f);
  EXPECT_EQ(a.width, 120);
  EXPECT_EQ(a.height, 80);
  EXPECT_GT(Inked(a), 500);
  EXPECT_EQ(a.pixels, b.pixels);
}

TEST(TopicPage, ShowsLevelFourAsLevelThreeAndLinksTheList) {
  Topic t{"B07", "Inequalities & more", "Solving <linear> inequalities.", {3, 4, 5, 6}, nullptr};
  std::string html = TopicPageHtml(t, "Algebra");
  EXPECT_NE(html.find("<th>Level 3</th><td>11 problems</td>"), std::string::npos) << html;
  EXPECT_EQ(html.find("Level 4"), std::string::npos);
  EXPECT_NE(html.find("18 problems"), std::string::npos);
  EXPECT_NE(html.find("href=\"../mathlist.stmp?main=B&amp;sub=07\""), std::string::npos);
  EXPECT_NE(html.find("Inequalities &amp; more"), std::string::npos);
  EXPECT_NE(html.find("Solving &lt;linear&gt; inequalities."), std::string::npos);
}

}  // namespace
}  // namespace qil::disc
