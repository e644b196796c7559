// Shapes, mappings, clips, saved states and bitmaps of small metafiles: the
// renderer's PNG against the same figure drawn directly with cairo, and its
// SVG (rasterised by librsvg) against its PNG.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "metafile/MetafileRenderer.h"
#include "metafile/MetafileTestKit.h"

namespace qil::metafiletest {
namespace {

constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00, kYellow = 0x00FFFF;
constexpr uint32_t kOpaqueRed = 0xFFFF0000, kOpaqueBlue = 0xFF0000FF, kOpaqueGreen = 0xFF00FF00;

Raster Png(const std::string& wmf, double scale = 1) { return FromPng(RenderMetafileToPng(wmf, scale).value()); }

// A writer whose filled shapes have no outline.
WmfWriter Filling(uint32_t color) {
  WmfWriter w;
  w.Pen(5, 0, 0).Select(0).Brush(0, color).Select(1);
  return w;
}

Raster FilledRect(int width, int height, double left, double top, double right, double bottom) {
  return Drawn(width, height, [&](cairo_t* cr) {
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
  });
}

TEST(MetafileMapping, EveryModeAndFlippedAxesPlaceTheRectangle) {
  struct Case {
    const char* name;
    std::function<void(WmfWriter&)> records;
    int left, top, right, bottom;  // the rectangle drawn, logical
    double x0, y0, x1, y1;         // where it must land, pixels of the 200 x 100 picture
  };
  const Case cases[] = {
      {"box", [](WmfWriter&) {}, 20, 10, 60, 50, 20, 10, 60, 50},
      {"window", [](WmfWriter& w) { w.WindowOrg(100, 50).WindowExt(400, 200); }, 100, 50, 300, 150, 0, 0, 100, 50},
      {"y up", [](WmfWriter& w) { w.WindowOrg(0, 100).WindowExt(200, -100); }, 20, 10, 60, 50, 20, 50, 60, 90},
      {"x left", [](WmfWriter& w) { w.WindowOrg(200, 0).WindowExt(-200, 100); }, 20, 10, 60, 50, 140, 10, 180, 50},
      {"text", [](WmfWriter& w) { w.MapMode(1).ViewportOrg(10, 20); }, 0, 0, 30, 30, 10, 20, 40, 50},
      {"lometric", [](WmfWriter& w) { w.MapMode(2).WindowOrg(0, 0); }, 0, 0, 254, -254, 0, 0, 96, 96},
      {"twips", [](WmfWriter& w) { w.MapMode(6).WindowOrg(0, 0); }, 0, 0, 1440, -720, 0, 0, 96, 48},
      {"hienglish", [](WmfWriter& w) { w.MapMode(5).WindowOrg(0, 1000); }, 0, 1000, 500, 500, 0, 0, 48, 48},
      {"isotropic", [](WmfWriter& w) { w.MapMode(7).WindowExt(100, 100).ViewportExt(200, 100); },
       0, 0, 50, 50, 0, 0, 50, 50},
      {"scale window", [](WmfWriter& w) { w.WindowExt(200, 100).Add(0x0410, {1, 2, 1, 2}); },
       0, 0, 100, 100, 0, 0, 50, 50},
      {"scale viewport", [](WmfWriter& w) { w.ViewportExt(200, 100).Add(0x0412, {2, 1, 2, 1}); },
       0, 0, 100, 100, 0, 0, 50, 50},
      {"offset window", [](WmfWriter& w) { w.WindowOrg(0, 0).Add(0x020F, {20, 10}); }, 10, 20, 50, 60, 0, 0, 40, 40},
      {"offset viewport", [](WmfWriter& w) { w.Add(0x0211, {5, 10}); }, 0, 0, 40, 40, 10, 5, 50, 45},
  };
  for (const Case& c : cases) {
    WmfWriter w = Filling(kRed);
    c.records(w);
    w.Rectangle(c.left, c.top, c.right, c.bottom);
    const Raster expected = FilledRect(200, 100, c.x0, c.y0, c.x1, c.y1);
    EXPECT_LT(Mismatch(Png(w.Placeable(0, 0, 200, 100)), expected), 0.003) << c.name;
  }
}

TEST(MetafileMapping, PictureSizeComesFromTheBoxOrTheWindow) {
  WmfWriter w = Filling(kRed);
  w.WindowExt(2880, 1440).Rectangle(0, 0, 1440, 720);
  // 2880 twips are two inches: 192 pixels; a scale doubles them.
  EXPECT_LT(Mismatch(Png(w.Placeable(0, 0, 2880, 1440, 1440)), FilledRect(192, 96, 0, 0, 96, 48)), 0.003);
  EXPECT_LT(Mismatch(Png(w.Placeable(0, 0, 2880, 1440, 1440), 2), FilledRect(384, 192, 0, 0, 192, 96)), 0.003);
  // Without a placeable header: the window extent, in pixels.
  WmfWriter plain = Filling(kRed);
  plain.WindowOrg(0, 0).WindowExt(300, 150).Rectangle(30, 30, 60, 60);
  EXPECT_LT(Mismatch(Png(plain.Plain()), FilledRect(300, 150, 30, 30, 60, 60)), 0.003);
  // A huge picture is scaled down to 4096 pixels a side.
  const Raster huge = Png(w.Placeable(0, 0, 32000, 16000, 1));
  EXPECT_EQ(huge.width, 4096);
  EXPECT_EQ(huge.height, 2048);
}

// Outlined shapes: ellipse, round rectangle, pie and chord, polygons of both
// fill modes, and a polygon set with a hole.
TEST(MetafileShapes, MatchCairosOwnDrawing) {
  auto outlined = [](uint32_t fill) {
    WmfWriter w;
    w.Pen(0, 4, 0).Select(0).Brush(0, fill).Select(1);
    return w;
  };
  auto finish = [](cairo_t* cr, double r, double g, double b) {
    cairo_set_source_rgb(cr, r, g, b);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 4);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
  };
  auto ellipse_path = [](cairo_t* cr, double from, double to, bool pie) {
    cairo_save(cr);
    cairo_translate(cr, 100, 50);
    cairo_scale(cr, 80, 40);
    if (pie) cairo_move_to(cr, 0, 0);
    cairo_arc_negative(cr, 0, 0, 1, from, to);
    cairo_restore(cr);
    cairo_close_path(cr);
  };
  constexpr double kPi = std::numbers::pi;
  const std::vector<std::pair<int, int>> star{{100, 5}, {127, 90}, {55, 35}, {145, 35}, {73, 90}};
  struct Case {
    const char* name;
    WmfWriter wmf;
    std::function<void(cairo_t*)> draw;
  };
  const Case cases[] = {
      {"ellipse", outlined(kYellow).Ellipse(20, 10, 180, 90),
       [&](cairo_t* cr) { ellipse_path(cr, 0, -2 * kPi, false), finish(cr, 1, 1, 0); }},
      // From the right end counterclockwise to the top: the upper right quarter.
      {"pie", outlined(kYellow).Add(0x081A, {10, 100, 50, 180, 90, 180, 10, 20}),
       [&](cairo_t* cr) { ellipse_path(cr, 0, -kPi / 2, true), finish(cr, 1, 1, 0); }},
      {"chord", outlined(kYellow).Add(0x0830, {50, 20, 50, 180, 90, 180, 10, 20}),
       [&](cairo_t* cr) { ellipse_path(cr, 0, -kPi, false), finish(cr, 1, 1, 0); }},
      {"round rectangle", outlined(kYellow).Add(0x061C, {40, 40, 90, 180, 10, 20}),
       [&](cairo_t* cr) {
         cairo_new_sub_path(cr);
         for (auto [x, y, a] : {std::tuple{160, 30, -kPi / 2}, {160, 70, 0.0}, {40, 70, kPi / 2}, {40, 30, kPi}}) {
           cairo_arc(cr, x, y, 20, a, a + kPi / 2);
         }
         cairo_close_path(cr);
         finish(cr, 1, 1, 0);
       }},
      {"star alternate", outlined(kBlue).Polygon(star),
       [&](cairo_t* cr) {
         for (auto [x, y] : star) cairo_line_to(cr, x, y);
         cairo_close_path(cr);
         cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
         finish(cr, 0, 0, 1);
       }},
      {"star winding", outlined(kBlue).Add(0x0106, {2}).Polygon(star),
       [&](cairo_t* cr) {
         for (auto [x, y] : star) cairo_line_to(cr, x, y);
         cairo_close_path(cr);
         finish(cr, 0, 0, 1);
       }},
      {"polygon set",
       outlined(kBlue).Add(0x0538, {2, 4, 4, 20, 10, 180, 10, 180, 90, 20, 90, 60, 30, 140, 30, 140, 70, 60, 70}),
       [&](cairo_t* cr) {
         cairo_rectangle(cr, 20, 10, 160, 80);
         cairo_rectangle(cr, 60, 30, 80, 40);
         cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
         finish(cr, 0, 0, 1);
       }},
  };
  for (const Case& c : cases) {
    const std::string wmf = c.wmf.Placeable(0, 0, 200, 100);
    const Raster png = Png(wmf);
    EXPECT_LT(Mismatch(png, Drawn(200, 100, c.draw)), 0.01) << c.name;
    EXPECT_LT(Mismatch(FromSvg(RenderMetafileToSvg(wmf).value()), png), 0.01) << c.name << " as SVG";
  }
  EXPECT_FALSE(Png(cases[4].wmf.Placeable(0, 0, 200, 100)).Inked(100, 50));  // the alternate star's hollow middle
  EXPECT_TRUE(Png(cases[5].wmf.Placeable(0, 0, 200, 100)).Inked(100, 50));
}

TEST(MetafileState, SavedStatesObjectSlotsAndClipsComeBack) {
  WmfWriter w;
  w.Pen(5, 0, 0).Select(0);
  w.Brush(0, kRed).Brush(0, kBlue).Brush(0, kGreen);  // slots 1, 2, 3
  w.Delete(1).Brush(0, kRed).Delete(2).Brush(0, kBlue);  // the lowest free slot again: 1 then 2
  w.Select(1).Add(0x001E, {});                           // save: red
  w.Select(2).Add(0x0416, {100, 200, 0, 100}).Add(0x001E, {});  // save: blue, clipped to the right half
  w.Select(3).WindowOrg(50, 0);
  w.Rectangle(50, 0, 100, 50);   // green, shifted by the window: the top left quarter, but clipped away
  w.Add(0x0127, {-2});            // back past both saves: red, no clip, no shift
  w.Rectangle(0, 50, 100, 100);  // red, bottom left
  w.Add(0x001E, {}).Select(2).Add(0x001E, {}).Select(3);
  w.Add(0x0127, {1});            // the first of these saves, counted from the bottom: red
  w.Rectangle(100, 50, 200, 100);
  const Raster r = Png(w.Placeable(0, 0, 200, 100));
  EXPECT_FALSE(r.Inked(25, 25));
  EXPECT_TRUE(Near(r.At(25, 75), kOpaqueRed));
  EXPECT_TRUE(Near(r.At(150, 75), kOpaqueRed));
  // Slots 1 and 2 hold the new brushes: red is selected first.
  WmfWriter slots;
  slots.Pen(5, 0, 0).Brush(0, kBlue).Brush(0, kGreen).Delete(1).Brush(0, kRed);
  slots.Select(0).Select(1).Rectangle(0, 0, 10, 10);
  EXPECT_TRUE(Near(Png(slots.Placeable(0, 0, 10, 10)).At(5, 5), kOpaqueRed));
}

TEST(MetafileBitmaps, DibsAreStretchedCutMirroredAndCombined) {
  // Red, green / blue, white.
  const std::string dib = Dib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  auto quadrants = [](const std::string& wmf) {
    const Raster r = Png(wmf);
    return std::vector<uint32_t>{r.At(25, 25), r.At(75, 25), r.At(25, 75), r.At(75, 75)};
  };
  auto expect = [](const std::vector<uint32_t>& got, const std::vector<uint32_t>& want, const char* name) {
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_TRUE(Near(got[i], want[i], 40)) << name << " " << i << " " << std::hex << got[i];
    }
  };
  constexpr uint32_t kWhite = 0xFFFFFFFF;
  expect(quadrants(WmfWriter().StretchDib({0, 0, 100, 100}, {0, 0, 2, 2}, dib).Placeable(0, 0, 100, 100)),
         {kOpaqueRed, kOpaqueGreen, kOpaqueBlue, kWhite}, "whole");
  // The source's y counts from the bottom for StretchDIB, from the top for the blits.
  const uint32_t all_blue[] = {kOpaqueBlue, kOpaqueBlue, kOpaqueBlue, kOpaqueBlue};
  const uint32_t all_red[] = {kOpaqueRed, kOpaqueRed, kOpaqueRed, kOpaqueRed};
  expect(quadrants(WmfWriter().StretchDib({0, 0, 100, 100}, {0, 0, 1, 1}, dib).Placeable(0, 0, 100, 100)),
         {all_blue, all_blue + 4}, "stretch-DIB corner");
  const WmfWriter blit = WmfWriter().StretchDib({0, 0, 100, 100}, {0, 0, 1, 1}, dib, 0x00CC0020, 0x0B41);
  expect(quadrants(blit.Placeable(0, 0, 100, 100)),
         {all_red, all_red + 4}, "stretch-blt corner");
  // A destination of negative width mirrors.
  expect(quadrants(WmfWriter().StretchDib({100, 0, -100, 100}, {0, 0, 2, 2}, dib).Placeable(0, 0, 100, 100)),
         {kOpaqueGreen, kOpaqueRed, kWhite, kOpaqueBlue}, "mirrored");

  // Copies stay SVG (as embedded PNG); an AND blit needs pixels.
  const std::string copy = WmfWriter().StretchDib({0, 0, 100, 100}, {0, 0, 2, 2}, dib).Placeable(0, 0, 100, 100);
  const auto svg = RenderMetafile(copy);
  ASSERT_TRUE(svg.has_value());
  EXPECT_EQ(svg->mime, "image/svg+xml");
  EXPECT_NE(svg->bytes.find("data:image/png;base64,"), std::string::npos);
  EXPECT_LT(Mismatch(FromSvg(svg->bytes), Png(copy)), 0.03);
  WmfWriter masked = Filling(kYellow);
  masked.Rectangle(0, 0, 100, 100).StretchDib({0, 0, 100, 100}, {0, 0, 2, 2}, dib, 0x008800C6);
  const auto png = RenderMetafile(masked.Placeable(0, 0, 100, 100));
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(png->mime, "image/png");
  // Yellow AND red is red, yellow AND blue is black, yellow AND white is yellow.
  expect(quadrants(masked.Placeable(0, 0, 100, 100)), {kOpaqueRed, kOpaqueGreen, 0xFF000000, 0xFFFFFF00}, "and");
}

TEST(MetafileBrushes, HatchesAndClipsLookAlikeInSvgAndPng) {
  WmfWriter w;
  w.Pen(5, 0, 0).Select(0).Brush(2, kBlue, 4).Select(1).BkColor(kYellow);
  w.Add(0x0416, {90, 190, 10, 10}).Rectangle(0, 0, 200, 100);
  const std::string wmf = w.Placeable(0, 0, 200, 100);
  const Raster png = Png(wmf);
  EXPECT_FALSE(png.Inked(5, 5));                 // outside the clip
  EXPECT_TRUE(Near(png.At(12, 13), 0xFFFFFF00));  // the opaque background between the lines
  EXPECT_LT(Mismatch(FromSvg(RenderMetafileToSvg(wmf).value()), png), 0.02);
}

}  // namespace
}  // namespace qil::metafiletest
