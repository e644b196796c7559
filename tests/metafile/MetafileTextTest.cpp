// Text of small metafiles: alignment, escapement, advances, backgrounds and
// clipping measured on the renderer's PNG; fonts and characters (the Symbol
// font's table, Windows-1252, escaping) read from its SVG.
#include <gtest/gtest.h>

#include "metafile/MetafileRenderer.h"
#include "metafile/MetafileTestKit.h"
#include "metafile/TextShaper.h"

namespace qil::metafiletest {
namespace {

constexpr int kBaseline = 24, kRight = 2, kCenter = 6, kBottom = 8, kUpdateCP = 1;

// A 300 x 200 picture whose font is DejaVu Sans, 40 pixels, on a transparent background.
WmfWriter Texts() {
  WmfWriter w;
  w.Font(-40, "DejaVu Sans").Select(0).BkMode(1);
  return w;
}

Box Ink(const WmfWriter& w) { return InkBox(FromPng(RenderMetafileToPng(w.Placeable(0, 0, 300, 200)).value())); }
std::string Svg(const WmfWriter& w) { return RenderMetafileToSvg(w.Placeable(0, 0, 300, 200)).value(); }

TEST(MetafileText, AlignmentPlacesTheReferencePoint) {
  metafile::TextShaper shaper;
  const auto metrics = shaper.FontMetrics(metafile::FontSpec{"DejaVu Sans", "sans-serif", 40});
  const Box baseline = Ink(Texts().TextAlign(kBaseline).TextOut(50, 100, "HH"));
  EXPECT_NEAR(baseline.bottom, 99, 1);  // H stands on the baseline
  EXPECT_GE(baseline.left, 50);
  EXPECT_LE(baseline.left, 56);
  EXPECT_NEAR(Ink(Texts().TextAlign(kBaseline | kRight).TextOut(250, 100, "HH")).right, 247, 3);
  const Box centred = Ink(Texts().TextAlign(kBaseline | kCenter).TextOut(150, 100, "HH"));
  EXPECT_NEAR((centred.left + centred.right) / 2.0, 150, 2);
  EXPECT_NEAR(Ink(Texts().TextOut(50, 100, "HH")).top - baseline.top, metrics.ascent, 1.5);  // TA_TOP
  EXPECT_NEAR(baseline.bottom - Ink(Texts().TextAlign(kBottom).TextOut(50, 100, "HH")).bottom, metrics.descent, 1.5);

  // The current position: the second text starts where the first ends.
  const Box once = Ink(Texts().TextAlign(kBaseline | kUpdateCP).Add(0x0214, {100, 20}).TextOut(0, 0, "HH"));
  const Box twice =
      Ink(Texts().TextAlign(kBaseline | kUpdateCP).Add(0x0214, {100, 20}).TextOut(0, 0, "HH").TextOut(0, 0, "HH"));
  EXPECT_EQ(twice.left, once.left);
  EXPECT_GT(twice.right - twice.left, 1.9 * (once.right - once.left));
}

TEST(MetafileText, EscapementTurnsTheTextCounterclockwise) {
  WmfWriter w = Texts();
  w.Font(-40, "DejaVu Sans", 900).Select(1).TextAlign(kBaseline).TextOut(150, 150, "HHH");
  const Box up = Ink(w);
  EXPECT_GT(up.bottom - up.top, 2 * (up.right - up.left));  // runs up the picture
  EXPECT_NEAR(up.right, 149, 2);                               // the letters stand left of their baseline
  EXPECT_LE(up.bottom, 150);
  EXPECT_GE(up.bottom, 140);
  EXPECT_NE(Svg(w).find("rotate(-90)"), std::string::npos);
}

TEST(MetafileText, AdvancesBackgroundsAndClipsOfExtTextOut) {
  WmfWriter spaced = Texts();
  spaced.TextAlign(kBaseline).ExtTextOut(50, 100, 0, {}, "II", {100, 10});
  const Raster r = FromPng(RenderMetafileToPng(spaced.Placeable(0, 0, 300, 200)).value());
  auto inked_between = [&](int from, int to) {
    for (int x = from; x <= to; ++x) {
      for (int y = 60; y < 100; ++y) {
        if (r.Inked(x, y)) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(inked_between(50, 62));
  EXPECT_FALSE(inked_between(66, 146));
  EXPECT_TRUE(inked_between(150, 162));
  EXPECT_NE(Svg(spaced).find("x=\"0 100\""), std::string::npos);

  // An opaque background fills the cell above the letters; ETO_OPAQUE fills its rectangle in any mode.
  WmfWriter opaque = Texts();
  opaque.BkMode(2).BkColor(0x00FF00).TextOut(50, 50, "HH");
  opaque.BkMode(1).ExtTextOut(200, 150, 2, {200, 150, 260, 190}, "x");
  const Raster o = FromPng(RenderMetafileToPng(opaque.Placeable(0, 0, 300, 200)).value());
  EXPECT_TRUE(Near(o.At(52, 51), 0xFF00FF00));
  EXPECT_TRUE(Near(o.At(250, 185), 0xFF00FF00));

  WmfWriter clipped = Texts();
  clipped.TextAlign(kBaseline).ExtTextOut(50, 100, 4, {50, 60, 70, 110}, "HHHH");
  const Box cut = Ink(clipped);
  EXPECT_GE(cut.right, 60);
  EXPECT_LT(cut.right, 70);
}

TEST(MetafileText, SvgKeepsTheFontsAndTheCharacters) {
  WmfWriter w;
  w.Font(-40, "Times New Roman", 0, 700, 0, true, true).Select(0).TextAlign(kRight).TextOut(250, 50, "x<y&z>\x01");
  const std::string svg = Svg(w);
  for (const char* part : {"font-family=\"'Times New Roman', serif\"", "font-size=\"40\"", "font-weight=\"700\"",
                           "font-style=\"italic\"", "text-decoration=\"underline\"", "text-anchor=\"end\"",
                           ">x&lt;y&amp;z&gt; </text>"}) {
    EXPECT_NE(svg.find(part), std::string::npos) << part;
  }
  EXPECT_GT(FromSvg(svg).width, 0);  // well-formed: librsvg reads it

  // A positive height is the cell's: the em is smaller.
  const std::string cell = Svg(WmfWriter().Font(40, "DejaVu Sans").Select(0).TextOut(0, 0, "x"));
  const size_t at = cell.find("font-size=\"") + 11;
  EXPECT_LT(std::stod(cell.substr(at)), 38);
  EXPECT_GT(std::stod(cell.substr(at)), 30);

  struct Case {
    const char* face;
    int charset;
    std::string bytes, utf8;
  };
  const Case cases[] = {
      {"Symbol", 0, "a\xe5\xd6\xa3\xae\x44", "\u03b1\u2211\u221a\u2264\u2192\u0394"},
      {"Times New Roman", 2, "p\xb9\xa5", "\u03c0\u2260\u221e"},  // the symbol character set
      {"Wingdings", 2, "J", "\uf04a"},                           // another symbol font keeps its code
      {"Arial", 0, "\x80\x93x\x94\xe9", "\u20ac\u201cx\u201d\u00e9"},
  };
  for (const Case& c : cases) {
    const std::string text = Svg(WmfWriter().Font(-20, c.face, 0, 400, c.charset).Select(0).TextOut(0, 0, c.bytes));
    EXPECT_NE(text.find(">" + c.utf8 + "</text>"), std::string::npos) << c.face;
  }
}

}  // namespace
}  // namespace qil::metafiletest
