// Pictures as pixels for the metafile tests: from the renderer's PNG, from
// an SVG rasterised by librsvg, or drawn directly with cairo, and ways to
// compare them.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pictures/WmfWriter.h"

namespace qil::metafiletest {

using picturefiles::Colorref;
using picturefiles::Dib24;
using picturefiles::WmfWriter;

// Premultiplied ARGB pixels.
struct Raster {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  bool Inked(int x, int y) const { return (At(x, y) >> 24) > 128; }
};

Raster FromSurface(cairo_surface_t* surface);
Raster FromPng(const std::string& png);
Raster FromSvg(const std::string& svg);  // rasterised by librsvg at its own size
// A transparent picture of that size with draw's drawing.
Raster Drawn(int width, int height, const std::function<void(cairo_t*)>& draw);

// The share of pixels in which some channel differs by more than tolerance; 1 for pictures of different sizes.
double Mismatch(const Raster& a, const Raster& b, int tolerance = 48);
// The colour 0xAARRGGBB is within tolerance in every channel.
bool Near(uint32_t pixel, uint32_t expected, int tolerance = 8);

struct Box {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; right < left when nothing is inked
};
Box InkBox(const Raster& raster);

}  // namespace qil::metafiletest
