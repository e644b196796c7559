#include "sheetpdf/SheetLayout.h"

#include <glib-object.h>
#include <pango/pangocairo.h>

#include <algorithm>

namespace qil {
namespace {

// Where a line of a layout lies, in points from the layout's top.
struct LineBox {
  double top = 0, bottom = 0, baseline = 0, x = 0;
};

std::vector<LineBox> LineBoxes(PangoLayout* layout) {
  std::vector<LineBox> lines;
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  do {
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
    lines.push_back(LineBox{static_cast<double>(logical.y) / PANGO_SCALE,
                            static_cast<double>(logical.y + logical.height) / PANGO_SCALE,
                            static_cast<double>(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE,
                            static_cast<double>(logical.x) / PANGO_SCALE});
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
  return lines;
}

// Lines first to last (exclusive) of a layout, drawn line by line so that
// a slice holds only its own text.
class TextSlice : public Piece {
 public:
  TextSlice(PangoLayout* layout, std::vector<LineBox> lines, int first, int last)
      : layout_(PANGO_LAYOUT(g_object_ref(layout))), lines_(std::move(lines)), first_(first), last_(last) {}
  ~TextSlice() override { g_object_unref(layout_); }
  TextSlice(const TextSlice&) = delete;
  TextSlice& operator=(const TextSlice&) = delete;

  double Height() const override { return lines_[last_ - 1].bottom - lines_[first_].top; }

  void Draw(cairo_t* cr) const override {
    const double top = lines_[first_].top;
    for (int i = first_; i < last_; ++i) {
      cairo_move_to(cr, lines_[i].x, lines_[i].baseline - top);
      pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout_, i));
    }
  }

 private:
  PangoLayout* layout_;
  std::vector<LineBox> lines_;
  int first_, last_;
};

class PictureAtSize : public Piece {
 public:
  PictureAtSize(SheetPicture picture, double width, double height)
      : picture_(std::move(picture)), width_(width), height_(height) {}
  double Height() const override { return height_; }
  void Draw(cairo_t* cr) const override { picture_.Draw(cr, width_, height_); }

 private:
  SheetPicture picture_;
  double width_, height_;
};

}  // namespace

std::vector<std::unique_ptr<Piece>> TextPieces(PangoLayout* layout, double max_height) {
  const std::vector<LineBox> lines = LineBoxes(layout);
  std::vector<std::unique_ptr<Piece>> pieces;
  const int count = static_cast<int>(lines.size());
  int first = 0;
  while (first < count) {
    int last = first + 1;
    while (last < count && lines[last].bottom - lines[first].top <= max_height) ++last;
    pieces.push_back(std::make_unique<TextSlice>(layout, lines, first, last));
    first = last;
  }
  return pieces;
}

std::unique_ptr<Piece> PicturePiece(SheetPicture picture, double width, double height) {
  return std::make_unique<PictureAtSize>(std::move(picture), width, height);
}

Paginator::Paginator(double first_top, double top, double bottom, double gap)
    : top_(top), bottom_(bottom), gap_(gap), y_(first_top), pages_(1) {}

void Paginator::NewPage() {
  pages_.emplace_back();
  y_ = top_;
}

void Paginator::Add(const ProblemColumn& problem, double space_after) {
  double height = 0;
  for (const ColumnEntry& entry : problem) height += entry.piece->Height() + gap_;
  height -= gap_;
  // A problem that a whole page would hold but this one cannot goes to the
  // next, even from a first page that holds nothing but its heading.
  if (height > Remaining() && (!PageEmpty() || height <= bottom_ - top_)) NewPage();
  for (const ColumnEntry& entry : problem) {
    // Only a problem taller than a page gets here with a piece that does not fit.
    if (entry.piece->Height() > Remaining() && !PageEmpty()) NewPage();
    pages_.back().push_back(Placement{entry.piece.get(), entry.x, y_});
    y_ += entry.piece->Height() + gap_;
  }
  y_ += space_after - gap_;
}

}  // namespace qil
