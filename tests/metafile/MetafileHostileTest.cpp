// What is a metafile, and damaged or hostile ones: each gives a picture (SVG
// and PNG) and names a problem, without a crash or an unbounded allocation.
#include <gtest/gtest.h>

#include "base/LittleEndian.h"
#include "pictures/PictureFiles.h"
#include "metafile/MetafilePlayer.h"
#include "metafile/MetafileRenderer.h"
#include "metafile/MetafileTestKit.h"
#include "metafile/SvgCanvas.h"

namespace qil::metafiletest {
namespace {

std::string ProblemOf(const std::string& data) {
  const auto bytes = metafile::MetafileBytes::Open(data);
  if (!bytes) return "not a metafile";
  const metafile::Frame frame = metafile::FrameOf(*bytes, 1);
  metafile::TextShaper shaper;
  metafile::SvgCanvas canvas(frame.width, frame.height);
  metafile::MetafilePlayer player(frame, shaper, canvas);
  player.Play(bytes->Records());
  return player.Problem();
}

TEST(MetafileRecognition, PlaceablePlainAndGzippedOnly) {
  const WmfWriter w = WmfWriter().Pen(0, 1, 0).Select(0).Add(0x0213, {50, 50});
  const std::string placeable = w.Placeable(0, 0, 100, 100), plain = w.Plain();
  for (const std::string& data : {placeable, plain, picturefiles::Gzip(placeable)}) {
    EXPECT_TRUE(LooksLikeMetafile(data));
  }
  std::string wrong_version = plain;
  wrong_version[4] = 7;
  const std::string png = picturefiles::EncodePNG(picturefiles::Pattern(2, 2));
  for (const std::string& data : {std::string(), placeable.substr(0, 30), wrong_version, png, std::string(100, 'x'),
                                  picturefiles::Gzip(picturefiles::Gzip(placeable))}) {
    EXPECT_FALSE(LooksLikeMetafile(data));
    EXPECT_FALSE(RenderMetafileToSvg(data).has_value());
    EXPECT_FALSE(RenderMetafile(data).has_value());
  }
  EXPECT_EQ(RenderMetafileToSvg(picturefiles::Gzip(placeable)), RenderMetafileToSvg(placeable));
  EXPECT_EQ(ProblemOf(placeable), "");
}

TEST(MetafileHostile, EveryDamageGivesAPictureAndAProblem) {
  auto small = [](const WmfWriter& w) { return w.Placeable(0, 0, 10, 10); };
  auto repeated = [&](int times, uint16_t function, std::vector<int> words) {
    WmfWriter w;
    for (int i = 0; i < times; ++i) w.Add(function, words);
    return small(w);
  };
  // A bitmap's header alone, with fields (offset, value) changed.
  auto bitmap = [&](std::vector<std::pair<size_t, uint32_t>> fields) {
    std::string dib = Dib24(2, 2, {0, 0, 0, 0}).substr(0, 40);
    for (auto [offset, value] : fields) StoreU32LE(value, dib.data() + offset);
    return small(WmfWriter().StretchDib({0, 0, 10, 10}, {0, 0, 2, 2}, dib));
  };
  WmfWriter scaled, fonts;
  for (int i = 0; i < 40; ++i) {
    scaled.Add(0x0410, {1, 32767, 1, 32767}).Add(0x0412, {32767, 1, 1, 32767}).Add(0x020F, {32767, 32767});
    scaled.Rectangle(-32768, -32768, 32767, 32767);
  }
  fonts.ViewportExt(32767, 32767).WindowExt(1, 1).Font(-32768, "x", 32767, -5).Select(0).TextOut(0, 0, "W");
  fonts.Font(32767, "", 0, 32767, 2).Select(1).TextOut(0, 0, "\xff");
  WmfWriter painting;
  for (int i = 0; i < 200; ++i) painting.Rectangle(0, 0, 4096, 4096);
  struct Case {
    const char* name;
    std::string data;
    bool named = true;  // a problem is named (else the damage is only clamped)
  };
  const Case cases[] = {
      {"record of size 0", small(WmfWriter().Raw(std::string("\0\0\0\0\x1e\0", 6)))},
      {"record past the end", small(WmfWriter().Raw(std::string("\xe8\x03\0\0\x1b\x04\0\0", 8)))},
      {"65535 points", small(WmfWriter().Add(0x0324, {65535, 0, 0, 5, 5, 9, 0}))},
      {"65535 polygons", small(WmfWriter().Add(0x0538, {65535, 3, 3}))},
      {"short polygon set", small(WmfWriter().Add(0x0538, {2, 3, 65535, 0, 0, 5, 5, 9, 0}))},
      {"text longer than its record", small(WmfWriter().Add(0x0521, {65535, 0x4141}).Add(0x0A32, {0, 0, 65535, 6, 1}))},
      {"100,000 saves", repeated(100'000, 0x001E, {})},
      {"restores of nothing", small(WmfWriter().Add(0x0127, {-32768}).Add(0x0127, {32767}).Add(0x0127, {0}))},
      {"object table overflow", repeated(5000, 0x02FC, {0, 0xFF, 0, 0})},
      {"missing objects", small(WmfWriter().Select(65535).Delete(65535).Add(0x012C, {9}))},
      {"extents scaled past 2^31", small(scaled), false},
      {"huge fonts", small(fonts), false},
      {"bitmap of 3000 x 2 without pixels", bitmap({{4, 3000}})},
      {"bitmap of 2^31 x 2^31", bitmap({{4, 0x7FFFFFFF}, {8, 0x7FFFFFFF}})},
      {"bitmap of -2^31 x 2", bitmap({{4, 0x80000000u}})},
      {"colour table of 2^32 entries", bitmap({{12, 0x00080001u}, {32, 0xFFFFFFFFu}})},  // 8 bits a pixel
      {"bitmap header of 2^32 bytes", bitmap({{0, 0xFFFFFFFFu}})},
      {"more than a million records", repeated(1'000'001, 0x0102, {1})},
      {"more drawings than allowed", repeated(210'000, 0x0213, {1, 1})},
      {"more painting than allowed", painting.Placeable(0, 0, 4096, 4096)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto svg = RenderMetafileToSvg(c.data);
    ASSERT_TRUE(svg.has_value());
    EXPECT_TRUE(svg->ends_with("</svg>\n"));
    EXPECT_EQ(ProblemOf(c.data) != "", c.named);
    if (c.data.size() < 100'000) {
      EXPECT_GT(FromPng(RenderMetafileToPng(c.data).value()).width, 0);
    }
  }
}

TEST(MetafileHostile, CappedStacksKeepWorking) {
  // Saves past the cap are refused; the first one still restores.
  WmfWriter w;
  w.Pen(5, 0, 0).Select(0).Brush(0, 0xFF).Select(1).Add(0x001E, {}).Brush(0, 0xFF0000).Select(2);
  for (int i = 0; i < 100'000; ++i) w.Add(0x001E, {});
  w.Add(0x0127, {1}).Rectangle(0, 0, 100, 100);
  EXPECT_TRUE(Near(FromPng(RenderMetafileToPng(w.Placeable(0, 0, 100, 100)).value()).At(50, 50), 0xFFFF0000));
}

}  // namespace
}  // namespace qil::metafiletest
