// Drawing metafiles for the web view against decoding PNG pictures of the
// same pixel size, the work a raster picture of the page costs.
//
// Two metafiles written here, both 384 x 96 pixels: a formula of 21 text
// runs (two faces, the Symbol font, sizes, advances) and 3 lines, and a DIB
// picture as the picture writer stores raster pictures. The PNGs decoded are
// the renderer's own PNG of each. BM_*AgainstDecode time a rendering and the
// decode in turn in every iteration and report their ratio (render_per_decode).
//
// BM_DiscMetafilesAgainstDecode does the same for every WMF and WMZ picture
// of the disc named by QIL_DEMO_DISC (the demo disc): each iteration draws
// every one as SVG and decodes a PNG of the same pixel size, and reports the
// ratio over all of them and for the slowest picture (the goal is 2).
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "archive/ArchiveReader.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "pictures/WmfWriter.h"
#include "mathdb/MathDatabase.h"
#include "metafile/MetafileRenderer.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

using picturefiles::WmfWriter;

// Four inches by one at 1440 units an inch.
std::string Formula() {
  WmfWriter w;
  w.MapMode(8).WindowOrg(0, 0).WindowExt(5760, 1440).BkMode(1).TextAlign(24);
  w.Font(-300, "Times New Roman", 0, 400, 0, true);  // 0: italic
  w.Font(-300, "Symbol", 0, 400, 2);                 // 1
  w.Font(-190, "Times New Roman");                   // 2: small
  w.Font(-300, "Times New Roman");                   // 3: upright
  w.Pen(0, 15, 0);                                   // 4
  w.Select(4).Select(0).TextOut(100, 800, "f").Select(3).TextOut(250, 800, "(").Select(0).TextOut(350, 800, "x");
  w.Select(3).TextOut(500, 800, ")").Select(1).TextOut(700, 800, "=");
  w.ExtTextOut(1000, 850, 0, {}, "\xe5", {330}).Select(2).TextOut(1000, 1250, "k=1").TextOut(1100, 380, "n");
  w.Select(0).TextOut(1450, 600, "x").Select(2).TextOut(1600, 480, "k").Select(3).Add(0x0214, {720, 1400});
  w.Add(0x0213, {720, 1900}).Select(0).ExtTextOut(1550, 1100, 0, {}, "k!", {160, 120});
  w.Select(1).TextOut(2000, 800, "+").Select(1).ExtTextOut(2300, 850, 0, {}, "\xd6", {260});
  w.Polygon({{2540, 530}, {3600, 530}}, 0x0325).Select(3).ExtTextOut(2600, 800, 0, {}, "1", {150});
  w.Select(1).TextOut(2800, 800, "-").Select(0).TextOut(3050, 800, "x").Select(2).TextOut(3200, 680, "2");
  w.Select(1).TextOut(3800, 800, "\xa3").Select(3).Add(0x0214, {720, 4200}).Add(0x0213, {720, 4600});
  w.TextOut(4300, 600, "1").Select(0).TextOut(4300, 1150, "e").Select(1).TextOut(4900, 800, "\xb9 \xa5");
  return w.Placeable(0, 0, 5760, 1440, 1440);
}

std::string DibPicture() {
  Bitmap24 bitmap;
  bitmap.Allocate(384, 96);
  for (int y = 0; y < 96; ++y) {
    uint8_t* row = bitmap.RowFromTop(y);
    for (int x = 0; x < 384; ++x) {
      row[3 * x] = static_cast<uint8_t>(x), row[3 * x + 1] = static_cast<uint8_t>(2 * y),
              row[3 * x + 2] = static_cast<uint8_t>(x ^ y);
    }
  }
  MemoryStream out;
  WritePlaceableMetafile(bitmap, out);
  return out.Take();
}

const std::string& Metafile(int which) {
  static const std::string formula = Formula(), dib = DibPicture();
  return which == 0 ? formula : dib;
}

const std::string& Png(int which) {
  static const std::string formula = *RenderMetafileToPng(Metafile(0)), dib = *RenderMetafileToPng(Metafile(1));
  return which == 0 ? formula : dib;
}

const char* Name(int which) { return which == 0 ? "formula" : "dib"; }

void BM_RenderSvg(benchmark::State& state) {
  const std::string& wmf = Metafile(static_cast<int>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) {
    auto svg = RenderMetafileToSvg(wmf);
    bytes = svg->size();
    benchmark::DoNotOptimize(svg);
  }
  state.SetLabel(Name(static_cast<int>(state.range(0))));
  state.counters["svg_bytes"] = static_cast<double>(bytes);
  state.counters["wmf_bytes"] = static_cast<double>(wmf.size());
}
BENCHMARK(BM_RenderSvg)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_RenderPng(benchmark::State& state) {
  const std::string& wmf = Metafile(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(RenderMetafileToPng(wmf));
  state.SetLabel(Name(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_RenderPng)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DecodePng(benchmark::State& state) {
  const std::string& png = Png(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(DecodePNG(png));
  state.SetLabel(Name(static_cast<int>(state.range(0))));
  state.counters["png_bytes"] = static_cast<double>(png.size());
}
BENCHMARK(BM_DecodePng)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The SVG rendering and the PNG decode in turn; the iteration time is the rendering's.
void BM_SvgAgainstDecode(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int which = static_cast<int>(state.range(0));
  double render_s = 0, decode_s = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    benchmark::DoNotOptimize(DecodePNG(Png(which)));
    decode_s += std::chrono::duration<double>(Clock::now() - start).count();
    start = Clock::now();
    benchmark::DoNotOptimize(RenderMetafileToSvg(Metafile(which)));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    render_s += elapsed;
    state.SetIterationTime(elapsed);
  }
  state.SetLabel(Name(which));
  state.counters["render_per_decode"] = decode_s > 0 ? render_s / decode_s : 0;
}
BENCHMARK(BM_SvgAgainstDecode)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Every metafile picture of the disc at path, with a PNG of its pixel size.
struct DiscPicture {
  std::string metafile;
  std::string png;
};

std::vector<DiscPicture> DiscMetafiles(const char* path) {
  std::vector<DiscPicture> pictures;
  ArchiveReader archive;
  archive.Open(path, std::string(), /*skip_product_check=*/true);
  MathDatabase db;
  db.Load(archive);
  for (int32_t position = 0; position < db.RecordCount(); ++position) {
    StringList names;
    db.ListPageGraphics(ProblemID(position), names);
    for (int i = 0; i < names.Count(); ++i) {
      const std::string name = names[i].substr(2);
      if (i > 0 && names[i - 1].substr(2) == name) continue;  // on both pages
      MemoryStream file;
      db.GetGraphic(ProblemID(position), name, file);
      if (std::optional<std::string> png = RenderMetafileToPng(file.View())) pictures.push_back({file.Bytes(), *png});
    }
  }
  return pictures;
}

void BM_DiscMetafilesAgainstDecode(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const char* disc = std::getenv("QIL_DEMO_DISC");
  if (disc == nullptr) {
    state.SkipWithError("QIL_DEMO_DISC names no disc");
    return;
  }
  static const std::vector<DiscPicture> pictures = DiscMetafiles(disc);
  if (pictures.empty()) {
    state.SkipWithError("the disc holds no metafile pictures");
    return;
  }
  std::vector<double> render_s(pictures.size()), decode_s(pictures.size());
  for (auto _ : state) {
    double elapsed = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
      auto start = Clock::now();
      benchmark::DoNotOptimize(DecodePNG(pictures[i].png));
      decode_s[i] += std::chrono::duration<double>(Clock::now() - start).count();
      start = Clock::now();
      benchmark::DoNotOptimize(RenderMetafileToSvg(pictures[i].metafile));
      const double drawn = std::chrono::duration<double>(Clock::now() - start).count();
      render_s[i] += drawn;
      elapsed += drawn;
    }
    state.SetIterationTime(elapsed);
  }
  double render_all = 0, decode_all = 0, worst = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    render_all += render_s[i];
    decode_all += decode_s[i];
    worst = std::max(worst, render_s[i] / decode_s[i]);
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["pictures"] = static_cast<double>(pictures.size());
  state.counters["render_ms_per_picture"] = render_all / iterations / pictures.size() * 1e3;
  state.counters["decode_ms_per_picture"] = decode_all / iterations / pictures.size() * 1e3;
  state.counters["render_per_decode"] = render_all / decode_all;
  state.counters["worst_render_per_decode"] = worst;
}
BENCHMARK(BM_DiscMetafilesAgainstDecode)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qil
