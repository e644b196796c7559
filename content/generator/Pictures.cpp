#include "Pictures.h"

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "base/MemoryStream.h"
#include "picture/Metafile.h"

namespace qil::disc {

namespace {

void Put16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint8_t Red(uint32_t p) { return static_cast<uint8_t>(p >> 16); }
uint8_t Green(uint32_t p) { return static_cast<uint8_t>(p >> 8); }
uint8_t Blue(uint32_t p) { return static_cast<uint8_t>(p); }

// The 12-bit colour bin of a pixel: 4 bits per channel.
int Bin(uint32_t p) { return ((Red(p) >> 4) << 8) | ((Green(p) >> 4) << 4) | (Blue(p) >> 4); }

struct Palette {
  std::vector<png_color> colors;
  std::array<uint8_t, 4096> index{};  // bin -> palette entry
};

png_color BinColor(int bin) {
  return {static_cast<png_byte>(((bin >> 8) & 15) * 17), static_cast<png_byte>(((bin >> 4) & 15) * 17),
          static_cast<png_byte>((bin & 15) * 17)};
}

Palette MakePalette(const Raster& raster) {
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
  Palette pal;
  const size_t kept = std::min<size_t>(used.size(), 256);
  for (size_t i = 0; i < kept; ++i) {
    pal.colors.push_back(BinColor(used[i]));
    pal.index[used[i]] = static_cast<uint8_t>(i);
  }
  for (size_t i = kept; i < used.size(); ++i) {
    png_color c = BinColor(used[i]);
    int best = 0;
    long bestDistance = -1;
    for (size_t j = 0; j < kept; ++j) {
      long dr = c.red - pal.colors[j].red, dg = c.green - pal.colors[j].green,
           db = c.blue - pal.colors[j].blue;
      long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(j);
      }
    }
    pal.index[used[i]] = static_cast<uint8_t>(best);
  }
  return pal;
}

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

[[noreturn]] void PngError(png_structp, png_const_charp message) {
  throw std::runtime_error(std::string("PNG encoder: ") + message);
}

void PngWarning(png_structp, png_const_charp) {}

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

Bytes EncodePng(const Raster& raster) {
  const Palette pal = MakePalette(raster);
  const size_t n = pal.colors.size();
  const int depth = n <= 2 ? 1 : (n <= 4 ? 2 : (n <= 16 ? 4 : 8));

  std::vector<uint8_t> rows(static_cast<size_t>(raster.width) * raster.height);
  for (size_t i = 0; i < raster.pixels.size(); ++i) rows[i] = pal.index[Bin(raster.pixels[i])];
  std::vector<png_bytep> rowPointers(raster.height);
  for (int y = 0; y < raster.height; ++y) rowPointers[y] = rows.data() + static_cast<size_t>(y) * raster.width;

  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (png == nullptr) throw std::runtime_error("PNG encoder: out of memory");
  png_infop info = png_create_info_struct(png);
  try {
    if (info == nullptr) throw std::runtime_error("PNG encoder: out of memory");
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, raster.width, raster.height, depth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, pal.colors.data(), static_cast<int>(n));
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);  // 96 dpi
    png_set_compression_level(png, 6);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_write_info(png, info);
    png_set_packing(png);
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
  } catch (...) {
    png_destroy_write_struct(&png, &info);
    throw;
  }
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes EncodeJpeg(const Raster& raster, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = [](j_common_ptr c) {
    char message[JMSG_LENGTH_MAX];
    (*c->err->format_message)(c, message);
    throw std::runtime_error(std::string("JPEG encoder: ") + message);
  };
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_create_compress(&cinfo);
  try {
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = raster.width;
    cinfo.image_height = raster.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int i = 0; i < cinfo.num_components; ++i) {  // full-resolution colour keeps thin strokes clean
      cinfo.comp_info[i].h_samp_factor = 1;
      cinfo.comp_info[i].v_samp_factor = 1;
    }
    cinfo.density_unit = 1;  // dots per inch
    cinfo.X_density = 96;
    cinfo.Y_density = 96;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(raster.width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
      for (int x = 0; x < raster.width; ++x) {
        uint32_t p = raster.At(x, static_cast<int>(cinfo.next_scanline));
        row[x * 3] = Red(p);
        row[x * 3 + 1] = Green(p);
        row[x * 3 + 2] = Blue(p);
      }
      JSAMPROW rowPointer = row.data();
      jpeg_write_scanlines(&cinfo, &rowPointer, 1);
    }
    jpeg_finish_compress(&cinfo);
  } catch (...) {
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    throw;
  }
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  free(buffer);
  return out;
}

Bytes EncodeBmp(const Raster& raster) {
  const uint32_t rowSize = (static_cast<uint32_t>(raster.width) * 3 + 3) & ~3u;
  const uint32_t imageSize = rowSize * raster.height;
  Bytes out;
  out.reserve(54 + imageSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + imageSize);  // file size
  Put32(out, 0);               // reserved
  Put32(out, 54);              // offset of the pixels
  Put32(out, 40);              // BITMAPINFOHEADER
  Put32(out, raster.width);
  Put32(out, raster.height);   // positive: rows bottom-up
  Put16(out, 1);               // planes
  Put16(out, 24);              // bits per pixel
  Put32(out, 0);               // no compression
  Put32(out, imageSize);
  Put32(out, 3780);            // 96 dpi
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = raster.height - 1; y >= 0; --y) {
    for (int x = 0; x < raster.width; ++x) {
      uint32_t p = raster.At(x, y);
      out.push_back(Blue(p));
      out.push_back(Green(p));
      out.push_back(Red(p));
    }
    for (uint32_t pad = raster.width * 3; pad < rowSize; ++pad) out.push_back(0);
  }
  return out;
}

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
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (deflateInit2(&zs, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("gzip: deflateInit2 failed");
  }
  gz_header header;
  std::memset(&header, 0, sizeof header);
  std::vector<Bytef> nameBytes(name.begin(), name.end());
  nameBytes.push_back(0);
  header.name = nameBytes.data();
  header.os = 3;  // Unix
  deflateSetHeader(&zs, &header);
  Bytes out(deflateBound(&zs, data.size()) + 64 + name.size());
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("gzip: deflate failed");
  return out;
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
