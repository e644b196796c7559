// Picture to RTF on a 1000 x 1000 PNG, next to its parts: decoding the PNG
// alone (the limit: libpng's own work), writing the metafile, and the hex
// lines. Throughput is in bytes of RTF text produced per second.
//
// BM_PictureToRTFAgainstDecode times both in turn in every iteration and
// reports convert_per_decode, the conversion's time over the decode's; the
// goal is 2 or less.
#include <benchmark/benchmark.h>
#include <png.h>

#include <chrono>
#include <stdexcept>

#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "pictures/PictureFiles.h"
#include "picture/Metafile.h"
#include "picture/PictureToRTF.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

constexpr int kSide = 1000;

// The test pattern written by libpng's simplified writer with its default
// filters and compression, the picture every earlier table measured: the
// disc's own encoder compresses harder, which makes the decode (the limit)
// cheaper and the ratio not comparable.
const std::string& Png() {
  static const std::string png = [] {
    picturefiles::Pixels pixels = picturefiles::Pattern(kSide, kSide);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSide;
    image.height = kSide;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.bytes.data(), 0, nullptr)) {
      throw std::runtime_error("png size");
    }
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.bytes.data(), 0, nullptr)) {
      throw std::runtime_error(image.message);
    }
    out.resize(size);
    return out;
  }();
  return png;
}

// Bytes of RTF text in the picture group of the PNG.
int64_t RtfBytes() {
  static const int64_t bytes = [] {
    MemoryStream G(Png());
    StringList lines;
    PictureToRTF(G, lines, "big.png");
    return static_cast<int64_t>(lines.Text().size());
  }();
  return bytes;
}

void BM_PictureToRTF_Png1000(benchmark::State& state) {
  for (auto _ : state) {
    MemoryStream G(Png());
    StringList lines;
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

// Each iteration decodes the PNG, then converts it whole; the iteration time
// is the conversion's.
void BM_PictureToRTFAgainstDecode(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  double decode_s = 0;
  double convert_s = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    benchmark::DoNotOptimize(DecodePNG(Png()));
    decode_s += std::chrono::duration<double>(Clock::now() - start).count();

    start = Clock::now();
    {
      MemoryStream G(Png());
      StringList lines;
      PictureToRTF(G, lines, "big.png");
      benchmark::DoNotOptimize(lines);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    convert_s += elapsed;
    state.SetIterationTime(elapsed);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["decode_ms"] = decode_s * 1e3 / n;
  state.counters["convert_ms"] = convert_s * 1e3 / n;
  state.counters["convert_per_decode"] = convert_s / decode_s;
  state.counters["goal_convert_per_decode"] = 2.0;
}
BENCHMARK(BM_PictureToRTFAgainstDecode)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_WriteMetafile_1000(benchmark::State& state) {
  const Bitmap24 bitmap = DecodePNG(Png());
  for (auto _ : state) {
    MemoryStream out;
    WritePlaceableMetafile(bitmap, out);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * RtfBytes());
}
BENCHMARK(BM_WriteMetafile_1000)->Unit(benchmark::kMillisecond);

void BM_HexLines_1000(benchmark::State& state) {
  const Bitmap24 bitmap = DecodePNG(Png());
  MemoryStream metafile;
  WritePlaceableMetafile(bitmap, metafile);
  metafile.SetPosition(kPlaceableHeaderSize);
  for (auto _ : state) {
    StringList lines;
    HexLines(&metafile, &lines, kHexBytesPerLine);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * RtfBytes());
}
BENCHMARK(BM_HexLines_1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qil
