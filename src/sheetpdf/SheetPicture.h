// One picture of a problem page, made ready to be placed on a printed sheet.
//
// The file's own bytes decide its kind: PNG, JPEG and BMP files are decoded
// with the raster decoders (RasterDecoders.h) into one cairo image each (a
// JPEG file that decodes keeps its own bytes for the PDF, unless it is of a
// kind PDF readers do not all show alike);
// WMF and WMZ files are kept as they are and drawn as vectors when placed
// (DrawMetafile). A file that is none of these, or that does not decode,
// gives a picture that is not usable: the sheet prints a note instead.
//
// The size on paper comes from the page's width and height attributes (CSS
// pixels, 96 an inch: 0.75 pt each). When one is missing it follows the
// picture's own proportions; when both are, the picture's own size in
// pixels counts as CSS pixels. Either side is kept within 1 and
// kMaxPictureAttribute pixels (PartMarkup.h).
//
// A raster picture carries an identifier (the caller's, e.g. problem and
// file name): the PDF writer embeds a picture placed several times with the
// same identifier once. Pictures are values that share their decoded
// pixels; not thread-safe.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace qil {

class SheetPicture {
 public:
  // file is nullopt when the page names a file its problem does not have.
  static SheetPicture Load(std::optional<std::string_view> file, int width_attribute, int height_attribute,
                           const std::string& identifier);

  bool Usable() const { return raster_ != nullptr || !metafile_.empty(); }
  // Why the picture is not usable: "picture missing" or "picture cannot be shown".
  const std::string& Problem() const { return problem_; }

  // The size on paper in points (0 for an unusable picture).
  double Width() const { return width_; }
  double Height() const { return height_; }

  // Draws the picture over the box from (0, 0) to (width, height) of cr's
  // user space. Nothing for an unusable picture.
  void Draw(cairo_t* cr, double width, double height) const;

 private:
  void SetSize(int natural_width, int natural_height, int width_attribute, int height_attribute);

  std::shared_ptr<cairo_surface_t> raster_;
  std::string metafile_;
  std::string problem_;
  double width_ = 0;
  double height_ = 0;
};

}  // namespace qil
