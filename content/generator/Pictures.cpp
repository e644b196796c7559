#include "Pictures.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "base/MemoryStream.h"
#include "pictures/PictureFiles.h"
#include "picture/Metafile.h"

namespace qil::disc {

namespace {

using picturefiles::Pixels;
using picturefiles::Rgb;

uint8_t Red(uint32_t p) { return static_cast<uint8_t>(p >> 16); }
uint8_t Green(uint32_t p) { return static_cast<uint8_t>(p >> 8); }
uint8_t Blue(uint32_t p) { return static_cast<uint8_t>(p); }

// The 12-bit colour bin of a pixel: 4 bits per channel.
int Bin(uint32_t p) { return ((Red(p) >> 4) << 8) | ((Green(p) >> 4) << 4) | (Blue(p) >> 4); }

Rgb BinColor(int bin) {
  return {static_cast<uint8_t>(((bin >> 8) & 15) * 17), static_cast<uint8_t>(((bin >> 4) & 15) * 17),
          static_cast<uint8_t>((bin & 15) * 17)};
}

// The raster as palette indices: the most frequent 256 colour bins, every
// other bin drawn as its nearest kept neighbour.
Pixels PalettePixels(const Raster& raster) {
  std::array<uint32_t, 4096> count{};
  for (uint32_t p : raster.pixels) ++count[Bin(p)];
  std::vector<int> used;
  for (int b = 0; b < 4096; ++b) {
    if (count[b] > 0) used.push_back(b);
  }
  // Most frequent first; ties by bin, so the order is fully determined.
  std::sort(used.begin(), used.end(), [&](int a, int b) {
    return count[a] != count[b] ? count[a] > count[b] : a < b;
  });
  Pixels out(raster.width, raster.height, 1);
  std::array<uint8_t, 4096> index{};  // bin -> palette entry
  const size_t kept = std::min<size_t>(used.size(), 256);
  for (size_t i = 0; i < kept; ++i) {
    out.palette.push_back(BinColor(used[i]));
    index[used[i]] = static_cast<uint8_t>(i);
  }
  for (size_t i = kept; i < used.size(); ++i) {
    const Rgb c = BinColor(used[i]);
    int best = 0;
    long bestDistance = -1;
    for (size_t j = 0; j < kept; ++j) {
      long dr = c.r - out.palette[j].r, dg = c.g - out.palette[j].g, db = c.b - out.palette[j].b;
      long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(j);
      }
    }
    index[used[i]] = static_cast<uint8_t>(best);
  }
  for (uint32_t p : raster.pixels) out.bytes.push_back(index[Bin(p)]);
  out.dpi = 96;
  return out;
}

Pixels RgbPixels(const Raster& raster) {
  Pixels out(raster.width, raster.height, 3);
  for (uint32_t p : raster.pixels) out.bytes.insert(out.bytes.end(), {Red(p), Green(p), Blue(p)});
  out.dpi = 96;
  return out;
}

Bytes ToBytes(const std::string& file) { return Bytes(file.begin(), file.end()); }

}  // namespace

std::string Extension(PictureFormat format) {
  switch (format) {
    case PictureFormat::kPng: return ".png";
    case PictureFormat::kJpeg: return ".jpg";
    case PictureFormat::kBmp: return ".bmp";
    case PictureFormat::kWmf: return ".wmf";
    case PictureFormat::kWmz: return ".wmz";
  }
  return "";
}

Bytes EncodePng(const Raster& raster) { return ToBytes(picturefiles::EncodePNG(PalettePixels(raster))); }

Bytes EncodeJpeg(const Raster& raster, int quality) {
  return ToBytes(picturefiles::EncodeJPEG(RgbPixels(raster), quality));
}

Bytes EncodeBmp(const Raster& raster) { return ToBytes(picturefiles::EncodeBMP(RgbPixels(raster))); }

Bytes EncodeWmf(const Raster& raster) {
  Bitmap24 bitmap;
  bitmap.Allocate(raster.width, raster.height);
  for (int y = 0; y < raster.height; ++y) {
    uint8_t* row = bitmap.RowFromTop(y);
    for (int x = 0; x < raster.width; ++x) {
      uint32_t p = raster.At(x, y);
      row[x * 3] = Blue(p);
      row[x * 3 + 1] = Green(p);
      row[x * 3 + 2] = Red(p);
    }
  }
  MemoryStream out;
  WritePlaceableMetafile(bitmap, out);
  return Bytes(out.View().begin(), out.View().end());
}

Bytes Gzip(const Bytes& data, const std::string& name) {
  picturefiles::GzipOptions options;
  options.name = name;
  return ToBytes(picturefiles::Gzip(std::string(data.begin(), data.end()), options));
}

Bytes Encode(const Raster& raster, PictureFormat format) {
  switch (format) {
    case PictureFormat::kPng: return EncodePng(raster);
    case PictureFormat::kJpeg: return EncodeJpeg(raster);
    case PictureFormat::kBmp: return EncodeBmp(raster);
    case PictureFormat::kWmf: return EncodeWmf(raster);
    case PictureFormat::kWmz: return Gzip(EncodeWmf(raster), "picture.wmf");
  }
  throw std::runtime_error("unknown picture format");
}

}  // namespace qil::disc
