#include "metafile/MetafileTestKit.h"

#include <librsvg/rsvg.h>

#include <algorithm>
#include <cstdlib>

namespace qil::metafiletest {

Raster FromSurface(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  Raster r{cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface), {}};
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < r.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
    r.argb.insert(r.argb.end(), row, row + r.width);
  }
  return r;
}

Raster FromPng(const std::string& png) {
  struct Reading {
    const std::string& bytes;
    size_t at = 0;
  } reading{png};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reading*>(closure);
        if (r->bytes.size() - r->at < length) return CAIRO_STATUS_READ_ERROR;
        std::copy_n(r->bytes.data() + r->at, length, data);
        r->at += length;
        return CAIRO_STATUS_SUCCESS;
      },
      &reading);
  Raster r = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS ? FromSurface(surface) : Raster{};
  cairo_surface_destroy(surface);
  return r;
}

Raster FromSvg(const std::string& svg) {
  RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), nullptr);
  if (handle == nullptr) return Raster{};
  gdouble width = 0, height = 0;
  rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height);
  Raster r = Drawn(static_cast<int>(width), static_cast<int>(height), [&](cairo_t* cr) {
    const RsvgRectangle viewport{0, 0, width, height};
    rsvg_handle_render_document(handle, cr, &viewport, nullptr);
  });
  g_object_unref(handle);
  return r;
}

Raster Drawn(int width, int height, const std::function<void(cairo_t*)>& draw) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  draw(cr);
  cairo_destroy(cr);
  Raster r = FromSurface(surface);
  cairo_surface_destroy(surface);
  return r;
}

double Mismatch(const Raster& a, const Raster& b, int tolerance) {
  if (a.width != b.width || a.height != b.height || a.argb.empty()) return 1;
  size_t differing = 0;
  for (size_t i = 0; i < a.argb.size(); ++i) differing += !Near(a.argb[i], b.argb[i], tolerance);
  return static_cast<double>(differing) / a.argb.size();
}

bool Near(uint32_t pixel, uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int(pixel >> shift & 0xFF) - int(expected >> shift & 0xFF)) > tolerance) return false;
  }
  return true;
}

Box InkBox(const Raster& raster) {
  Box box{raster.width, raster.height, -1, -1};
  for (int y = 0; y < raster.height; ++y) {
    for (int x = 0; x < raster.width; ++x) {
      if (!raster.Inked(x, y)) continue;
      box = Box{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    }
  }
  return box;
}

}  // namespace qil::metafiletest
