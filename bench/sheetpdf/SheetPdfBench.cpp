// A worksheet of 25 problems of the demo disc (named by QIL_DEMO_DISC) and
// its answer key written to PDF, against the limit of that work: decoding
// every picture the two parts place, raster pictures with the raster
// decoders and metafiles drawn by the metafile renderer (as SVG, the form
// the disc shows them in).
//
// BM_SheetWithKeyAgainstDecode does both in turn in every iteration and
// reports pdf_per_decode, the PDF's time over the decoding's; the goal is 3
// or less.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <regex>

#include "archive/ArchiveReader.h"
#include "mathdb/MathDatabase.h"
#include "metafile/MetafileRenderer.h"
#include "picture/RasterDecoders.h"
#include "sheetpdf/SheetPdf.h"

namespace qil {
namespace {

// Every 50th problem from the 4th on: all topics, and metafiles among them.
std::vector<int32_t> Positions() {
  std::vector<int32_t> positions;
  for (int32_t i = 0; i < 25; ++i) positions.push_back(3 + 50 * i);
  return positions;
}

// The picture files the sheet and the key place, each as often as placed.
std::vector<std::string> PlacedPictures(MathDatabase& db, const std::vector<int32_t>& positions) {
  static const std::regex src(R"re(src="([^"]+)")re");
  std::vector<std::string> pictures;
  for (const char* part : {"P.htm", "S.htm"}) {
    for (int32_t position : positions) {
      const ProblemBundlePtr bundle = db.GetBundle(position);
      if (!bundle) continue;
      const std::string html(bundle->FindFile(part).value_or(""));
      for (auto it = std::sregex_iterator(html.begin(), html.end(), src); it != std::sregex_iterator(); ++it) {
        if (const auto file = bundle->FindFile((*it)[1].str())) pictures.emplace_back(*file);
      }
      db.ReleaseBundle(position, bundle);
    }
  }
  return pictures;
}

void Decode(const std::string& file) {
  if (file.starts_with("\x89PNG")) {
    benchmark::DoNotOptimize(DecodePNG(file));
  } else if (file.starts_with("\xFF\xD8")) {
    benchmark::DoNotOptimize(DecodeJPEG(file));
  } else if (file.starts_with("BM")) {
    benchmark::DoNotOptimize(DecodeBMP(file));
  } else {
    benchmark::DoNotOptimize(RenderMetafileToSvg(file));
  }
}

void BM_SheetWithKeyAgainstDecode(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const char* disc = std::getenv("QIL_DEMO_DISC");
  if (disc == nullptr) {
    state.SkipWithError("QIL_DEMO_DISC names no disc");
    return;
  }
  ArchiveReader archive;
  archive.Open(disc, std::string(), /*skip_product_check=*/true);
  MathDatabase db;
  db.Load(archive);
  const std::vector<int32_t> positions = Positions();
  const std::vector<std::string> pictures = PlacedPictures(db, positions);
  SheetPdfOptions options;
  options.code = "BENCH-C0DE";
  options.answerKey = true;

  double pdf_s = 0, decode_s = 0;
  size_t pdf_bytes = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    for (const std::string& picture : pictures) Decode(picture);
    decode_s += std::chrono::duration<double>(Clock::now() - start).count();
    start = Clock::now();
    const std::string pdf = WriteWorksheetPdf(db, positions, options);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    pdf_s += elapsed;
    pdf_bytes = pdf.size();
    state.SetIterationTime(elapsed);
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["pictures"] = static_cast<double>(pictures.size());
  state.counters["pdf_KB"] = static_cast<double>(pdf_bytes) / 1024;
  state.counters["pdf_ms"] = pdf_s / iterations * 1e3;
  state.counters["decode_ms"] = decode_s / iterations * 1e3;
  state.counters["pdf_per_decode"] = decode_s > 0 ? pdf_s / decode_s : 0;
}
BENCHMARK(BM_SheetWithKeyAgainstDecode)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qil
