// Windows metafile pictures (WMF, and WMZ: a gzipped WMF) drawn for the web
// view, which cannot show them: as an SVG document whose text stays text,
// in the fonts the metafile names followed by a generic family (serif,
// sans-serif, monospace, ...), or painted into a PNG picture. Printed sheets
// draw them onto a cairo context of their own, where they stay vectors.
//
// The picture's size is the placeable header's bounding box at its inch, 96
// pixels per inch, else the window extent the records set (MetafilePlayer.h
// has the details), at most 4096 pixels a side (larger pictures are scaled
// down to fit). Text in the Symbol font comes out as Unicode (Greek letters,
// operators, arrows), other text is read as Windows-1252.
//
// Data that is not a metafile gives nullopt. A damaged or hostile metafile
// gives an empty or partial picture and one line on stderr naming the first
// problem; it never ends the process, never loops without bound and never
// allocates beyond fixed bounds (records, objects, saved states, drawing
// work, bitmap pixels, output size are all capped).
//
// Pure functions of their arguments; safe from any thread (each call uses
// the calling thread's own pango font map).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

typedef struct _cairo cairo_t;

namespace qil {

struct RenderedPicture {
  std::string bytes;
  std::string mime;  // "image/svg+xml" or "image/png"
};

// Is the data a WMF (placeable or plain), or a gzip member inflating to one?
bool LooksLikeMetafile(std::string_view data);

// The metafile drawn into an SVG document; nullopt when data is not a
// metafile. Raster operations that combine with what is drawn already
// (XOR pens, AND/OR/XOR blits) are written as CSS blend modes.
std::optional<std::string> RenderMetafileToSvg(std::string_view data);

// The metafile painted into a PNG picture, scale times its size (scale is
// kept within 1/64 to 64; the picture within 4096 pixels a side);
// transparent where nothing is drawn. nullopt when data is not a metafile.
std::optional<std::string> RenderMetafileToPng(std::string_view data, double scale = 1);

// The picture's size in pixels (width, height) as RenderMetafileToPng draws
// it at scale 1; nullopt when data is not a metafile.
std::optional<std::pair<int, int>> MetafilePictureSize(std::string_view data);

// Draws the metafile onto cr, stretched over the box from (0, 0) to
// (width, height) of cr's user space and clipped to that box:
// shapes as paths, text as text, the metafile's own bitmaps as images.
// Raster operations blend with what cr holds already. cr's state is the
// same afterwards. False, drawing nothing, when data is not a metafile or
// the box is empty.
bool DrawMetafile(cairo_t* cr, std::string_view data, double width, double height);

// SVG, unless the metafile uses such raster operations, which not every
// viewer blends: then PNG at png_scale. nullopt when data is not a metafile.
std::optional<RenderedPicture> RenderMetafile(std::string_view data, double png_scale = 1);

}  // namespace qil
