#include "PictureFiles.h"

#include <png.h>
#include <zlib.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qil::picturefiles {

namespace {

void PutLE(std::string& out, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t PixelsPerMetre(int dpi) { return static_cast<uint32_t>(std::lround(dpi / 0.0254)); }

uint8_t* Row(const Pixels& pixels, int y) {
  return const_cast<uint8_t*>(pixels.bytes.data()) + static_cast<size_t>(y) * pixels.width * pixels.channels;
}

}  // namespace

Rgb Pixels::At(int x, int y) const {
  const uint8_t* p = Row(*this, y) + static_cast<size_t>(x) * channels;
  if (channels > 1) return Rgb{p[0], p[1], p[2]};
  return palette.empty() ? Rgb{p[0], p[0], p[0]} : palette.at(p[0]);
}

Pixels Pattern(int width, int height, int channels, int colours) {
  Pixels pixels(width, height, colours > 0 ? 1 : channels);
  for (int i = 0; i < colours; ++i) {
    pixels.palette.push_back(
        {static_cast<uint8_t>(i * 37 + 11), static_cast<uint8_t>(i * 91 + 3), static_cast<uint8_t>(255 - i)});
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t r = static_cast<uint8_t>(x * 7 + y), g = static_cast<uint8_t>(y * 5 + 40);
      const uint8_t b = static_cast<uint8_t>(x * 3 + y * 2);
      if (colours > 0) {
        pixels.bytes.push_back(static_cast<uint8_t>((x + 3 * y) % colours));
      } else if (channels == 1) {
        pixels.bytes.push_back(g);
      } else {
        pixels.bytes.insert(pixels.bytes.end(), {r, g, b});
        if (channels == 4) pixels.bytes.push_back(x < width / 2 ? 0 : 255);
      }
    }
  }
  return pixels;
}

std::string EncodePNG(const Pixels& pixels) {
  std::vector<png_color> palette;
  for (const Rgb& c : pixels.palette) palette.push_back(png_color{c.r, c.g, c.b});
  const size_t n = palette.size();
  const int type = pixels.channels == 1   ? PNG_COLOR_TYPE_PALETTE
                   : pixels.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA
                                          : PNG_COLOR_TYPE_RGB;
  const int depth = pixels.channels > 1 ? 8 : n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
  std::vector<png_bytep> rows;
  for (int y = 0; y < pixels.height; ++y) rows.push_back(Row(pixels, y));

  // Without handlers of their own the libraries end the process on an error:
  // the pictures here are made by tests and the generator, never by users.
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t length) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), length);
      },
      [](png_structp) {});
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.width), static_cast<png_uint_32>(pixels.height), depth, type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette.data(), static_cast<int>(n));
  if (pixels.dpi > 0) png_set_pHYs(png, info, PixelsPerMetre(pixels.dpi), PixelsPerMetre(pixels.dpi), PNG_RESOLUTION_METER);
  png_set_compression_level(png, 6);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_write_info(png, info);
  png_set_packing(png);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string EncodeJPEG(const Pixels& pixels, int quality) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(pixels.width);
  info.image_height = static_cast<JDIMENSION>(pixels.height);
  info.input_components = pixels.channels;
  info.in_color_space = pixels.channels == 1 ? JCS_GRAYSCALE : pixels.channels == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);  // CMYK gets Adobe's marker
  jpeg_set_quality(&info, quality, TRUE);
  for (int i = 0; i < info.num_components; ++i) info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
  if (pixels.dpi > 0) {
    info.density_unit = 1;  // dots per inch
    info.X_density = info.Y_density = static_cast<UINT16>(pixels.dpi);
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = Row(pixels, static_cast<int>(info.next_scanline));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return out;
}

std::string EncodeBMP(const Pixels& pixels, bool top_down) {
  const size_t n = pixels.palette.size();
  const int bits = pixels.channels > 1 ? 8 * pixels.channels : n <= 2 ? 1 : n <= 16 ? 4 : 8;
  const size_t colours = pixels.channels == 1 ? size_t{1} << bits : 0, offset = 54 + 4 * colours;
  const int width = pixels.width, height = pixels.height;
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4, size = stride * height;
  const uint32_t ppm = PixelsPerMetre(pixels.dpi);
  std::string out = "BM";
  for (const auto& [value, count] : {std::pair<uint64_t, int>{offset + size, 4}, {0, 4}, {offset, 4}, {40, 4},
                                     {static_cast<uint32_t>(width), 4}, {static_cast<uint32_t>(top_down ? -height : height), 4},
                                     {1, 2}, {static_cast<uint64_t>(bits), 2}, {0, 4}, {size, 4}, {ppm, 4}, {ppm, 4}, {0, 8}}) {
    PutLE(out, value, count);
  }
  for (size_t i = 0; i < colours; ++i) {
    const Rgb c = i < n ? pixels.palette[i] : Rgb{};
    out += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r), 0};
  }
  for (int row = 0; row < height; ++row) {
    const uint8_t* from = Row(pixels, top_down ? row : height - 1 - row);
    std::string line(stride, '\0');
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = from + static_cast<size_t>(x) * pixels.channels;
      if (bits <= 8) {
        line[x * bits / 8] = static_cast<char>(line[x * bits / 8] | p[0] << (8 - bits * (1 + x % (8 / bits))));
      } else {
        char* to = &line[static_cast<size_t>(x) * pixels.channels];
        for (int i = 0; i < pixels.channels; ++i) to[i] = static_cast<char>(p[i < 3 ? 2 - i : 3]);  // B, G, R, A
      }
    }
    out += line;
  }
  return out;
}

std::string Gzip(const std::string& data, const GzipOptions& options) {
  const int flags = (options.header_crc ? 2 : 0) | (options.extra.empty() ? 0 : 4) | (options.name.empty() ? 0 : 8) |
                    (options.comment.empty() ? 0 : 16);
  std::string out = {'\x1f', '\x8b', 8, static_cast<char>(flags), 0, 0, 0, 0, 2, 3};  // time 0, slowest, Unix
  if (!options.extra.empty()) PutLE(out, options.extra.size(), 2);
  out += options.extra;
  if (!options.name.empty()) out += options.name + '\0';
  if (!options.comment.empty()) out += options.comment + '\0';
  if (options.header_crc) out += "\xAB\xCD";

  z_stream z;
  std::memset(&z, 0, sizeof z);
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  const size_t header = out.size();
  out.resize(header + deflateBound(&z, data.size()));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data() + header);
  z.avail_out = static_cast<uInt>(out.size() - header);
  deflate(&z, Z_FINISH);  // the bound leaves room for all of it
  out.resize(header + z.total_out);
  deflateEnd(&z);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  PutLE(out, options.wrong_crc ? crc ^ 0xFFFF : crc, 4);
  PutLE(out, options.stated_size >= 0 ? static_cast<uint64_t>(options.stated_size) : data.size(), 4);
  return out;
}

std::string MakePlaceableMetafile(int box_width, int box_height, int inch, size_t data_bytes) {
  std::string out;
  PutLE(out, 0x9AC6CDD7, 4);  // the key, a handle, the box, the inch, a reserved word
  for (int word : {0, 0, 0, box_width, box_height, inch, 0, 0}) PutLE(out, static_cast<uint16_t>(word), 2);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) {
    checksum ^= static_cast<uint16_t>(static_cast<uint8_t>(out[i]) | static_cast<uint8_t>(out[i + 1]) << 8);
  }
  PutLE(out, checksum, 2);
  // In memory, 9 words, version 3, size in words, no objects, largest record 3 words.
  for (const auto& [value, count] :
       {std::pair<uint64_t, int>{1, 2}, {9, 2}, {0x0300, 2}, {(data_bytes + 1) / 2, 4}, {0, 2}, {3, 4}, {0, 2}}) {
    PutLE(out, value, count);
  }
  for (size_t i = out.size(); i < 22 + data_bytes; ++i) out.push_back(static_cast<char>(i & 0xFF));
  return out;
}

}  // namespace qil::picturefiles
