#include "PictureTestFiles.h"

#include <png.h>
#include <zlib.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace qil::testfiles {
void PutLE(std::string& out, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

namespace {

std::string RawDeflate(const std::string& data) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflate");
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

Rgb PatternColor(int x, int y) {
  return Rgb{static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(y * 5 + 40), static_cast<uint8_t>(x * 3 + y * 2)};
}

Rgb PaletteColor(int index) {
  return Rgb{static_cast<uint8_t>(index * 37 + 11), static_cast<uint8_t>(index * 91 + 3),
             static_cast<uint8_t>(255 - index)};
}

int PaletteIndexAt(int x, int y, int colours) { return (x + 3 * y) % colours; }

std::string EncodePNG(int width, int height, bool alpha) {
  const int channels = alpha ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * channels];
      const Rgb c = PatternColor(x, y);
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      if (alpha) p[3] = x < width / 2 ? 0 : 255;
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error("png size");
  }
  std::string out(size, '\0');
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr)) {
    throw std::runtime_error(image.message);
  }
  out.resize(size);
  return out;
}

std::string EncodeJPEG(int width, int height, JpegColours colours) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  const J_COLOR_SPACE spaces[] = {JCS_RGB, JCS_GRAYSCALE, JCS_CMYK};
  const int components[] = {3, 1, 4};
  const int kind = static_cast<int>(colours);
  info.in_color_space = spaces[kind];
  info.input_components = components[kind];
  jpeg_set_defaults(&info);  // CMYK input gets an Adobe marker
  jpeg_set_quality(&info, 95, TRUE);
  info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;  // no chroma subsampling
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * info.input_components);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < width; ++x) {
      const Rgb c = PatternColor(x, y);
      uint8_t* p = &row[static_cast<size_t>(x) * info.input_components];
      if (colours == JpegColours::Grey) {
        p[0] = c.g;
      } else {
        // Inverted CMYK without black: each stored ink value equals the colour's channel.
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        if (colours == JpegColours::AdobeCmyk) p[3] = 255;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

std::string EncodeBMP(int width, int height, int bits, bool top_down) {
  const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  const int colours = bits <= 8 ? 1 << bits : 0;
  const size_t offset = 14 + 40 + 4 * static_cast<size_t>(colours);
  std::string out = "BM";
  PutLE(out, offset + stride * height, 4);
  PutLE(out, 0, 4);
  PutLE(out, offset, 4);
  PutLE(out, 40, 4);
  PutLE(out, static_cast<uint32_t>(width), 4);
  PutLE(out, static_cast<uint32_t>(top_down ? -height : height), 4);
  PutLE(out, 1, 2);
  PutLE(out, static_cast<uint32_t>(bits), 2);
  PutLE(out, 0, 4);
  PutLE(out, stride * height, 4);
  PutLE(out, 2835, 4);
  PutLE(out, 2835, 4);
  PutLE(out, 0, 4);
  PutLE(out, 0, 4);
  for (int i = 0; i < colours; ++i) {
    const Rgb c = PaletteColor(i);
    out.push_back(static_cast<char>(c.b));
    out.push_back(static_cast<char>(c.g));
    out.push_back(static_cast<char>(c.r));
    out.push_back(0);
  }
  for (int row = 0; row < height; ++row) {
    const int y = top_down ? row : height - 1 - row;
    std::string line(stride, '\0');
    for (int x = 0; x < width; ++x) {
      if (bits >= 24) {
        const Rgb c = PatternColor(x, y);
        const size_t at = static_cast<size_t>(x) * (bits / 8);
        line[at] = static_cast<char>(c.b);
        line[at + 1] = static_cast<char>(c.g);
        line[at + 2] = static_cast<char>(c.r);
        if (bits == 32) line[at + 3] = static_cast<char>(0x7F);
      } else {
        const int index = PaletteIndexAt(x, y, colours);
        const int per_byte = 8 / bits;
        const int shift = 8 - bits * (1 + x % per_byte);
        line[x / per_byte] = static_cast<char>(line[x / per_byte] | index << shift);
      }
    }
    out += line;
  }
  return out;
}

std::string Gzip(const std::string& data, const GzipOptions& options) {
  uint8_t flags = 0;
  if (options.header_crc) flags |= 2;
  if (!options.extra.empty()) flags |= 4;
  if (!options.name.empty()) flags |= 8;
  if (!options.comment.empty()) flags |= 16;
  std::string out = {'\x1f', '\x8b', 8, static_cast<char>(flags), 0, 0, 0, 0, 0, 3};
  if (!options.extra.empty()) {
    PutLE(out, options.extra.size(), 2);
    out += options.extra;
  }
  if (!options.name.empty()) out += options.name + '\0';
  if (!options.comment.empty()) out += options.comment + '\0';
  if (options.header_crc) out += "\xAB\xCD";
  out += RawDeflate(data);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  if (options.wrong_crc) crc ^= 0xFFFF;
  PutLE(out, crc, 4);
  PutLE(out, options.stated_size >= 0 ? static_cast<uint64_t>(options.stated_size) : data.size(), 4);
  return out;
}

std::string PlaceableHeader(int box_width, int box_height, int inch) {
  std::string out;
  PutLE(out, 0x9AC6CDD7, 4);
  for (int word : {0, 0, 0, box_width, box_height, inch}) PutLE(out, static_cast<uint16_t>(word), 2);
  PutLE(out, 0, 4);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) {
    checksum ^= static_cast<uint16_t>(static_cast<uint8_t>(out[i]) | static_cast<uint8_t>(out[i + 1]) << 8);
  }
  PutLE(out, checksum, 2);
  return out;
}

std::string MetafileHeader(uint32_t size_in_words, int objects, uint32_t largest_record_words) {
  std::string out;
  PutLE(out, 1, 2);       // type: memory metafile
  PutLE(out, 9, 2);       // header words
  PutLE(out, 0x0300, 2);  // version
  PutLE(out, size_in_words, 4);
  PutLE(out, static_cast<uint16_t>(objects), 2);
  PutLE(out, largest_record_words, 4);
  PutLE(out, 0, 2);
  return out;
}

std::string MakePlaceableMetafile(int box_width, int box_height, int inch, size_t data_bytes) {
  std::string out =
      PlaceableHeader(box_width, box_height, inch) + MetafileHeader(static_cast<uint32_t>((data_bytes + 1) / 2), 0, 3);
  for (size_t i = out.size(); i < 22 + data_bytes; ++i) out.push_back(static_cast<char>(i & 0xFF));
  return out;
}

}  // namespace qil::testfiles
