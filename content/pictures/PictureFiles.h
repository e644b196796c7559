// Picture files made in memory, shared by the demo disc's generator and the
// picture tests: PNG and JPEG through the libraries' encoders, BMP, gzip
// members and placeable metafile headers written byte by byte, down to fields
// a test sets on purpose. Equal input gives equal bytes; an error of a
// library ends the process. Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qil::picturefiles {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// A picture, rows from the top, channels bytes a pixel: 3 red, green, blue;
// 4 the same and alpha (JPEG: cyan, magenta, yellow, black, inverted as
// Adobe's encoder stores them); 1 an index into palette (JPEG: a grey).
struct Pixels {
  Pixels(int width_, int height_, int channels_ = 3) : width(width_), height(height_), channels(channels_) {}
  Rgb At(int x, int y) const;

  int width, height, channels;
  std::vector<uint8_t> bytes;
  std::vector<Rgb> palette;
  int dpi = 0;  // the resolution written into the file; 0: none
};

// A gradient that differs in every row and column, so a flipped or shifted
// row shows; with 4 channels the left half is transparent; with colours, 1
// channel of indices into a palette of that many colours.
Pixels Pattern(int width, int height, int channels = 3, int colours = 0);

// 1 channel: a palette PNG of the smallest depth for the palette; else RGB or
// RGBA. No filter, zlib level 6.
std::string EncodePNG(const Pixels& pixels);
// No chroma subsampling.
std::string EncodeJPEG(const Pixels& pixels, int quality = 95);
// Uncompressed, 40-byte info header: 1 channel 1, 4 or 8 bits (by the
// palette's size, padded to a full palette), 3 channels 24 bits, 4 channels 32.
std::string EncodeBMP(const Pixels& pixels, bool top_down = false);

// A gzip member of deflate data at level 9.
struct GzipOptions {
  std::string name, comment, extra;  // FNAME, FCOMMENT, FEXTRA when not empty
  bool header_crc = false;           // FHCRC (two bytes that are not the real CRC)
  int64_t stated_size = -1;          // ISIZE of the trailer; -1: the true size
  bool wrong_crc = false;            // a CRC-32 that does not match the data
};
std::string Gzip(const std::string& data, const GzipOptions& options = {});

// A placeable header with the box (0, 0, width, height) and inch, a metafile
// header, then filler up to data_bytes (at least 18) after the placeable header.
std::string MakePlaceableMetafile(int box_width, int box_height, int inch, size_t data_bytes);

}  // namespace qil::picturefiles
