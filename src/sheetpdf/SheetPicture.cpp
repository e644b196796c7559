#include "sheetpdf/SheetPicture.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "metafile/MetafileRenderer.h"
#include "picture/RasterDecoders.h"
#include "sheetpdf/PartMarkup.h"

namespace qil {
namespace {

constexpr double kPointsPerCssPixel = 0.75;

enum class FileKind { kPng, kJpeg, kBmp, kMetafile, kUnknown };

FileKind KindOf(std::string_view file) {
  if (file.starts_with("\x89PNG")) return FileKind::kPng;
  if (file.starts_with("\xFF\xD8")) return FileKind::kJpeg;
  if (file.starts_with("BM")) return FileKind::kBmp;
  if (LooksLikeMetafile(file)) return FileKind::kMetafile;
  return FileKind::kUnknown;
}

Bitmap24 Decode(FileKind kind, std::string_view file) {
  switch (kind) {
    case FileKind::kPng: return DecodePNG(file);
    case FileKind::kJpeg: return DecodeJPEG(file);
    default: return DecodeBMP(file);
  }
}

// The bitmap as an opaque cairo image (no alpha channel, so the PDF gets no
// soft mask); nullptr when cairo cannot make one.
std::shared_ptr<cairo_surface_t> ToSurface(const Bitmap24& bitmap) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, bitmap.width, bitmap.height);
  std::shared_ptr<cairo_surface_t> held(surface, cairo_surface_destroy);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int32_t y = 0; y < bitmap.height; ++y) {
    const uint8_t* from = bitmap.RowFromTop(y);
    auto* to = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int32_t x = 0; x < bitmap.width; ++x, from += 3) {
      to[x] = uint32_t{from[2]} << 16 | uint32_t{from[1]} << 8 | from[0];
    }
  }
  cairo_surface_mark_dirty(surface);
  return held;
}

// Attaches a copy of bytes to the surface as mime data of that type.
void AttachMimeData(cairo_surface_t* surface, const char* type, std::string_view bytes) {
  auto* copy = new std::string(bytes);
  cairo_surface_set_mime_data(
      surface, type, reinterpret_cast<const unsigned char*>(copy->data()), copy->size(),
      [](void* closure) { delete static_cast<std::string*>(closure); }, copy);
}

// Whether a JPEG file (one that decoded) can go into the PDF as it is: a
// Huffman-coded frame (baseline, extended or progressive) of grey or colour
// pixels. Other frames, and four-channel pictures, whose inversion readers
// disagree about, go in as their decoded pixels.
bool JpegFitsPdf(std::string_view file) {
  size_t at = 2;
  while (at + 4 <= file.size()) {
    if (static_cast<uint8_t>(file[at]) != 0xFF) return false;
    const uint8_t marker = static_cast<uint8_t>(file[at + 1]);
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      at += 2;
      continue;
    }
    const size_t length = static_cast<uint8_t>(file[at + 2]) << 8 | static_cast<uint8_t>(file[at + 3]);
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
      if (at + 9 >= file.size()) return false;
      const uint8_t components = static_cast<uint8_t>(file[at + 9]);
      return components == 1 || components == 3;
    }
    const bool other_frame = marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (other_frame || marker == 0xDA || length < 2) return false;
    at += 2 + length;
  }
  return false;
}

int ClampSide(double pixels) {
  if (!(pixels >= 1)) return 1;
  return static_cast<int>(std::min<double>(std::lround(pixels), kMaxPictureAttribute));
}

}  // namespace

SheetPicture SheetPicture::Load(std::optional<std::string_view> file, int width_attribute, int height_attribute,
                                const std::string& identifier) {
  SheetPicture picture;
  if (!file) {
    picture.problem_ = "picture missing";
    return picture;
  }
  picture.problem_ = "picture cannot be shown";
  const FileKind kind = KindOf(*file);
  if (kind == FileKind::kMetafile) {
    const std::optional<std::pair<int, int>> size = MetafilePictureSize(*file);
    if (!size) return picture;
    picture.metafile_ = std::string(*file);
    picture.SetSize(size->first, size->second, width_attribute, height_attribute);
  } else if (kind != FileKind::kUnknown) {
    try {
      const Bitmap24 bitmap = Decode(kind, *file);
      picture.raster_ = ToSurface(bitmap);
      if (picture.raster_ == nullptr) return picture;
      AttachMimeData(picture.raster_.get(), CAIRO_MIME_TYPE_UNIQUE_ID, identifier);
      if (kind == FileKind::kJpeg && JpegFitsPdf(*file)) {
        AttachMimeData(picture.raster_.get(), CAIRO_MIME_TYPE_JPEG, *file);
      }
      picture.SetSize(bitmap.width, bitmap.height, width_attribute, height_attribute);
    } catch (const InvalidPicture&) {
      return picture;
    }
  }
  if (picture.Usable()) picture.problem_.clear();
  return picture;
}

void SheetPicture::SetSize(int natural_width, int natural_height, int width_attribute, int height_attribute) {
  const double nw = std::max(natural_width, 1), nh = std::max(natural_height, 1);
  double w = nw, h = nh;
  if (width_attribute > 0 && height_attribute > 0) {
    w = width_attribute, h = height_attribute;
  } else if (width_attribute > 0) {
    w = width_attribute, h = width_attribute * nh / nw;
  } else if (height_attribute > 0) {
    w = height_attribute * nw / nh, h = height_attribute;
  }
  width_ = ClampSide(w) * kPointsPerCssPixel;
  height_ = ClampSide(h) * kPointsPerCssPixel;
}

void SheetPicture::Draw(cairo_t* cr, double width, double height) const {
  if (!(width > 0 && height > 0)) return;
  if (!metafile_.empty()) {
    DrawMetafile(cr, metafile_, width, height);
    return;
  }
  if (raster_ == nullptr) return;
  const int pw = cairo_image_surface_get_width(raster_.get());
  const int ph = cairo_image_surface_get_height(raster_.get());
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_clip(cr);
  cairo_scale(cr, width / pw, height / ph);
  cairo_set_source_surface(cr, raster_.get(), 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
}

}  // namespace qil
