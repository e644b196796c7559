// A writer of small Windows metafiles, record by record: the demo disc's
// generator records its vector pictures with it, the metafile tests and
// benchmarks their drawings. Words are written as given (no checks), so tests
// can also write damaged records. Equal calls give equal bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qil::picturefiles {

uint32_t Colorref(uint8_t r, uint8_t g, uint8_t b);

// Records in the order they are added; the parameter words as the file stores them.
class WmfWriter {
 public:
  WmfWriter& Add(uint16_t function, std::vector<int> words, std::string_view bytes = {});
  WmfWriter& Raw(std::string_view bytes);

  WmfWriter& MapMode(int mode) { return Add(0x0103, {mode}); }
  WmfWriter& WindowOrg(int x, int y) { return Add(0x020B, {y, x}); }
  WmfWriter& WindowExt(int x, int y) { return Add(0x020C, {y, x}); }
  WmfWriter& ViewportOrg(int x, int y) { return Add(0x020D, {y, x}); }
  WmfWriter& ViewportExt(int x, int y) { return Add(0x020E, {y, x}); }
  WmfWriter& Pen(int style, int width, uint32_t color);
  WmfWriter& Brush(int style, uint32_t color, int hatch = 0);
  // A negative height asks for that character height, a positive one for the cell.
  WmfWriter& Font(int height, std::string_view face, int escapement = 0, int weight = 400, int charset = 0,
                  bool italic = false, bool underline = false, int pitch_and_family = 0);
  WmfWriter& Select(int index) { return Add(0x012D, {index}); }
  WmfWriter& Delete(int index) { return Add(0x01F0, {index}); }
  WmfWriter& Rectangle(int left, int top, int right, int bottom) { return Add(0x041B, {bottom, right, top, left}); }
  WmfWriter& Ellipse(int left, int top, int right, int bottom) { return Add(0x0418, {bottom, right, top, left}); }
  WmfWriter& Polygon(const std::vector<std::pair<int, int>>& points, uint16_t function = 0x0324);
  WmfWriter& Polyline(const std::vector<std::pair<int, int>>& points) { return Polygon(points, 0x0325); }
  WmfWriter& TextAlign(int align) { return Add(0x012E, {align}); }
  WmfWriter& BkMode(int mode) { return Add(0x0102, {mode}); }
  WmfWriter& BkColor(uint32_t color) { return Add(0x0201, {int(color & 0xFFFF), int(color >> 16)}); }
  WmfWriter& TextColor(uint32_t color) { return Add(0x0209, {int(color & 0xFFFF), int(color >> 16)}); }
  WmfWriter& MoveTo(int x, int y) { return Add(0x0214, {y, x}); }
  WmfWriter& LineTo(int x, int y) { return Add(0x0213, {y, x}); }
  WmfWriter& TextOut(int x, int y, std::string_view text);
  WmfWriter& ExtTextOut(int x, int y, int options, std::vector<int> rect, std::string_view text,
                        std::vector<int> dx = {});
  // StretchDIB: the DIB (a BMP file without its first 14 bytes) from the
  // source rectangle onto the destination one, with a raster operation.
  WmfWriter& StretchDib(std::vector<int> dest, std::vector<int> source, std::string_view dib, uint32_t rop = 0x00CC0020,
                        uint16_t function = 0x0F43);

  // The number of objects the metafile header states (the size of a reader's
  // object table); 64 unless set.
  WmfWriter& Objects(int count);

  // A placeable metafile with the box (left, top, right, bottom) at inch.
  std::string Placeable(int left, int top, int right, int bottom, int inch = 96) const;
  std::string Plain() const;  // without the placeable header

 private:
  std::string records_;
  size_t largest_ = 3;  // words, at least the end record's
  int objects_ = 64;
};

// A DIB of width x height pixels given top row first as 0xRRGGBB.
std::string Dib24(int width, int height, const std::vector<uint32_t>& rgb);

}  // namespace qil::picturefiles
