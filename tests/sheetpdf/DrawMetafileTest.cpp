// DrawMetafile, which keeps a sheet's metafiles vectors: drawn onto the
// caller's context it fills its box at any size, cuts what lies beyond the
// box and leaves the context as it was.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>

#include "pictures/WmfWriter.h"
#include "metafile/MetafileRenderer.h"

namespace qil {
namespace {

TEST(DrawMetafile, FillsItsBoxOnTheCallersContextAndNothingElse) {
  picturefiles::WmfWriter w;
  w.Pen(5, 0, 0).Select(0).Brush(0, 0x0000FF).Select(1).Rectangle(0, 0, 300, 50);  // red, twice the box's width
  const std::string wmf = w.Placeable(0, 0, 200, 100);
  EXPECT_EQ(MetafilePictureSize(wmf), std::make_pair(200, 100));

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 440, 220);
  cairo_t* cr = cairo_create(surface);
  cairo_translate(cr, 20, 10);
  cairo_matrix_t before, after;
  cairo_get_matrix(cr, &before);
  ASSERT_TRUE(DrawMetafile(cr, wmf, 400, 200));  // twice its size
  cairo_get_matrix(cr, &after);
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
  EXPECT_FALSE(DrawMetafile(cr, "not a metafile", 400, 200));
  EXPECT_FALSE(DrawMetafile(cr, wmf, 0, 200));
  cairo_destroy(cr);

  cairo_surface_flush(surface);
  auto at = [&](int x, int y) {
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const uint32_t*>(row)[x];
  };
  EXPECT_EQ(at(22, 12), 0xFFFF0000u);    // the rectangle's corner, at the box's
  EXPECT_EQ(at(418, 108), 0xFFFF0000u);  // its lower edge at y 50, doubled
  EXPECT_EQ(at(418, 112), 0u);
  EXPECT_EQ(at(425, 50), 0u);            // cut at the box's right edge
  EXPECT_EQ(at(10, 5), 0u);
  cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace qil
