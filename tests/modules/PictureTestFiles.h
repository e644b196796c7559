// Picture files made on the fly for the picture tests, the picture benchmark
// and the demo document: PNG and JPEG through the libraries' encoders, BMP,
// gzip members and placeable metafiles written byte by byte, so that every
// header field can be set to a value a test needs.
#pragma once

#include <cstdint>
#include <string>

namespace qil::testfiles {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// The colour of pixel (x, y) of every test picture: a gradient that differs in
// each row and column, so that a flipped or shifted row is noticed.
Rgb PatternColor(int x, int y);

// An RGB PNG of the pattern; with alpha, an RGBA PNG whose left half is fully
// transparent and right half opaque.
std::string EncodePNG(int width, int height, bool alpha = false);

// A JPEG of the pattern (quality 95, no chroma subsampling).
enum class JpegColours { Rgb, Grey, AdobeCmyk };
std::string EncodeJPEG(int width, int height, JpegColours colours = JpegColours::Rgb);

// Palette colour i of the palette BMPs below.
Rgb PaletteColor(int index);
// Palette index of pixel (x, y) in a picture with colours palette entries.
int PaletteIndexAt(int x, int y, int colours);

// An uncompressed BMP with a 40-byte info header. 24 and 32 bits hold the
// pattern; 1, 4 and 8 bits hold PaletteIndexAt with a full palette.
std::string EncodeBMP(int width, int height, int bits, bool top_down = false);

// Options for a gzip member written around raw deflate data.
struct GzipOptions {
  std::string name;          // FNAME when not empty
  std::string comment;       // FCOMMENT when not empty
  std::string extra;         // FEXTRA when not empty
  bool header_crc = false;   // FHCRC (two bytes, not checked)
  int64_t stated_size = -1;  // ISIZE of the trailer; -1: the true size
  bool wrong_crc = false;    // a CRC-32 that does not match
};
std::string Gzip(const std::string& data, const GzipOptions& options = {});

// Appends value as count little-endian bytes.
void PutLE(std::string& out, uint64_t value, int count);

// The 22-byte placeable header of a metafile with the box (0, 0, width, height) and inch.
std::string PlaceableHeader(int box_width, int box_height, int inch);

// The 18-byte metafile header of type 1 (memory), version 3.
std::string MetafileHeader(uint32_t size_in_words, int objects, uint32_t largest_record_words);

// A placeable metafile: the 22-byte header with the given box (0, 0, width,
// height) and inch, then a metafile header, then filler up to
// data_bytes bytes after the placeable header (at least 18).
std::string MakePlaceableMetafile(int box_width, int box_height, int inch, size_t data_bytes);

}  // namespace qil::testfiles
