#include "WmfWriter.h"

#include <algorithm>

#include "base/LittleEndian.h"

namespace qil::picturefiles {

uint32_t Colorref(uint8_t r, uint8_t g, uint8_t b) { return r | g << 8 | b << 16; }

WmfWriter& WmfWriter::Add(uint16_t function, std::vector<int> words, std::string_view bytes) {
  std::string body;
  for (int w : words) AppendLE16(body, static_cast<uint32_t>(w) & 0xFFFF);
  body.append(bytes);
  if (body.size() % 2) body.push_back('\0');
  AppendLE32(records_, static_cast<uint32_t>(3 + body.size() / 2));
  AppendLE16(records_, function);
  records_ += body;
  largest_ = std::max(largest_, 3 + body.size() / 2);
  return *this;
}

WmfWriter& WmfWriter::Raw(std::string_view bytes) {
  records_.append(bytes);
  return *this;
}

WmfWriter& WmfWriter::Pen(int style, int width, uint32_t color) {
  return Add(0x02FA, {style, width, 0, int(color & 0xFFFF), int(color >> 16)});
}

WmfWriter& WmfWriter::Brush(int style, uint32_t color, int hatch) {
  return Add(0x02FC, {style, int(color & 0xFFFF), int(color >> 16), hatch});
}

WmfWriter& WmfWriter::Font(int height, std::string_view face, int escapement, int weight, int charset, bool italic,
                           bool underline, int pitch_and_family) {
  // italic, underline, strike-out, charset, output precision, clipping, quality, pitch and family
  std::string tail{static_cast<char>(italic), static_cast<char>(underline), 0, static_cast<char>(charset), 0, 0, 0,
                   static_cast<char>(pitch_and_family)};
  tail.append(face);
  tail.resize(8 + 32, '\0');
  return Add(0x02FB, {height, 0, escapement, escapement, weight}, tail);
}

WmfWriter& WmfWriter::Polygon(const std::vector<std::pair<int, int>>& points, uint16_t function) {
  std::vector<int> words{static_cast<int>(points.size())};
  for (auto [x, y] : points) words.insert(words.end(), {x, y});
  return Add(function, words);
}

WmfWriter& WmfWriter::TextOut(int x, int y, std::string_view text) {
  std::string bytes(text);
  if (bytes.size() % 2) bytes.push_back('\0');
  AppendLE16(bytes, static_cast<uint32_t>(y));
  AppendLE16(bytes, static_cast<uint32_t>(x));
  return Add(0x0521, {static_cast<int>(text.size())}, bytes);
}

WmfWriter& WmfWriter::ExtTextOut(int x, int y, int options, std::vector<int> rect, std::string_view text,
                                 std::vector<int> dx) {
  std::vector<int> words{y, x, static_cast<int>(text.size()), options};
  words.insert(words.end(), rect.begin(), rect.end());
  std::string bytes(text);
  if (bytes.size() % 2) bytes.push_back('\0');
  for (int d : dx) AppendLE16(bytes, static_cast<uint32_t>(d));
  return Add(0x0A32, words, bytes);
}

WmfWriter& WmfWriter::StretchDib(std::vector<int> dest, std::vector<int> source, std::string_view dib, uint32_t rop,
                                 uint16_t function) {
  // x, y, width, height of each, stored backwards
  std::vector<int> words{int(rop & 0xFFFF), int(rop >> 16)};
  if (function == 0x0F43) words.push_back(0);  // colours of the DIB itself
  words.insert(words.end(), {source[3], source[2], source[1], source[0], dest[3], dest[2], dest[1], dest[0]});
  return Add(function, words, dib);
}

WmfWriter& WmfWriter::Objects(int count) {
  objects_ = count;
  return *this;
}

std::string WmfWriter::Plain() const {
  std::string out;
  for (uint32_t word : {1u, 9u, 0x0300u}) AppendLE16(out, word);
  AppendLE32(out, static_cast<uint32_t>(9 + records_.size() / 2 + 3));
  AppendLE16(out, static_cast<uint32_t>(objects_) & 0xFFFF);
  AppendLE32(out, static_cast<uint32_t>(largest_));
  AppendLE16(out, 0);
  out += records_;
  AppendLE32(out, 3);
  AppendLE16(out, 0);  // the end record
  return out;
}

std::string WmfWriter::Placeable(int left, int top, int right, int bottom, int inch) const {
  std::string out;
  AppendLE32(out, 0x9AC6CDD7);
  uint16_t checksum = 0xCDD7 ^ 0x9AC6;
  for (int word : {0, left, top, right, bottom, inch, 0, 0}) {
    AppendLE16(out, static_cast<uint32_t>(word));
    checksum ^= static_cast<uint16_t>(word);
  }
  AppendLE16(out, checksum);
  return out + Plain();
}

std::string Dib24(int width, int height, const std::vector<uint32_t>& rgb) {
  const int stride = (width * 3 + 3) & ~3;
  std::string out;
  for (uint32_t v : {40u, uint32_t(width), uint32_t(height)}) AppendLE32(out, v);
  AppendLE16(out, 1);
  AppendLE16(out, 24);
  for (int i = 0; i < 6; ++i) AppendLE32(out, 0);
  for (int row = height - 1; row >= 0; --row) {
    std::string line(stride, '\0');
    for (int x = 0; x < width; ++x) {
      const uint32_t c = rgb[static_cast<size_t>(row) * width + x];
      line[3 * x] = static_cast<char>(c), line[3 * x + 1] = static_cast<char>(c >> 8),
               line[3 * x + 2] = static_cast<char>(c >> 16);
    }
    out += line;
  }
  return out;
}

}  // namespace qil::picturefiles
