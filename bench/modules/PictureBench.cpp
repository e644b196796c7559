// Picture to RTF on a 1000 x 1000 PNG, next to its parts: decoding the PNG
// alone (the limit: libpng's own work), writing the metafile, and the hex
// lines. Throughput is in bytes of RTF text produced per second.
#include <benchmark/benchmark.h>

#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "modules/Metafile.h"
#include "modules/PictureTestFiles.h"
#include "modules/PictureToRTF.h"
#include "modules/RasterDecoders.h"

namespace qil {
namespace {

constexpr int kSide = 1000;

const std::string& Png() {
  static const std::string png = testfiles::EncodePNG(kSide, kSide);
  return png;
}

// Bytes of RTF text in the picture group of the PNG.
int64_t RtfBytes() {
  static const int64_t bytes = [] {
    TMemoryStream G(Png());
    TStringList lines;
    PictureToRTF(G, lines, "big.png");
    return static_cast<int64_t>(lines.Text().size());
  }();
  return bytes;
}

void BM_PictureToRTF_Png1000(benchmark::State& state) {
  for (auto _ : state) {
    TMemoryStream G(Png());
    TStringList lines;
    PictureToRTF(G, lines, "big.png");
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * RtfBytes());
  state.counters["png_bytes"] = static_cast<double>(Png().size());
}
BENCHMARK(BM_PictureToRTF_Png1000)->Unit(benchmark::kMillisecond);

void BM_DecodePNGOnly_Png1000(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodePNG(Png()));
  // Counted in the same RTF bytes, so both rates compare directly.
  state.SetBytesProcessed(state.iterations() * RtfBytes());
}
BENCHMARK(BM_DecodePNGOnly_Png1000)->Unit(benchmark::kMillisecond);

void BM_WriteMetafile_1000(benchmark::State& state) {
  const TBitmap24 bitmap = DecodePNG(Png());
  for (auto _ : state) {
    TMemoryStream out;
    WritePlaceableMetafile(bitmap, out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * RtfBytes());
}
BENCHMARK(BM_WriteMetafile_1000)->Unit(benchmark::kMillisecond);

void BM_HexLines_1000(benchmark::State& state) {
  const TBitmap24 bitmap = DecodePNG(Png());
  TMemoryStream metafile;
  WritePlaceableMetafile(bitmap, metafile);
  metafile.SetPosition(kPlaceableHeaderSize);
  for (auto _ : state) {
    TStringList lines;
    HexLines(&metafile, &lines, kHexBytesPerLine);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * RtfBytes());
}
BENCHMARK(BM_HexLines_1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qil
