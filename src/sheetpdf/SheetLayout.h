// Pieces of a printed sheet and how they are spread over its pages.
//
// A piece is something with a height that draws itself below and to the
// right of a point: some lines of a pango layout, a picture. A problem is a
// column of pieces (its number line first), each with its left edge.
//
// The Paginator stacks problems from the top of the body of each page to its
// bottom, a gap between pieces and some room after each problem. A problem
// is never split across pages: when it does not fit below the last one it
// starts the next page. Only a problem taller than a whole page is split,
// and then only between pieces: it starts on a fresh page and each piece
// that does not fit goes to the next. Pieces are made no taller than a page
// (TextPieces slices a long paragraph between its lines; pictures are
// scaled down by their maker), so nothing is cut.
//
// Not thread-safe; the pieces belong to the caller and must outlive the
// pages that point at them.
#pragma once

#include <memory>
#include <vector>

#include "sheetpdf/SheetPicture.h"

typedef struct _PangoLayout PangoLayout;

namespace qil {

class Piece {
 public:
  virtual ~Piece() = default;
  virtual double Height() const = 0;
  // Draws the piece with its top-left corner at cr's origin.
  virtual void Draw(cairo_t* cr) const = 0;
};

// The lines of layout as pieces of at most max_height points each (a line
// taller than that makes a piece of its own). Each piece holds a reference
// to the layout.
std::vector<std::unique_ptr<Piece>> TextPieces(PangoLayout* layout, double max_height);

// A picture drawn at width x height points.
std::unique_ptr<Piece> PicturePiece(SheetPicture picture, double width, double height);

struct ColumnEntry {
  std::unique_ptr<Piece> piece;
  double x = 0;  // left edge on the page, points
};
using ProblemColumn = std::vector<ColumnEntry>;

struct Placement {
  const Piece* piece = nullptr;
  double x = 0, y = 0;  // top-left corner on the page, points
};
using LaidPage = std::vector<Placement>;

class Paginator {
 public:
  // The body of every page runs from top to bottom; the first page's from
  // first_top (below its heading). gap lies between the pieces of a problem.
  Paginator(double first_top, double top, double bottom, double gap);

  // Lays out the next problem and leaves space_after points below it.
  void Add(const ProblemColumn& problem, double space_after);

  // The pages so far; at least one.
  const std::vector<LaidPage>& Pages() const { return pages_; }

 private:
  double Remaining() const { return bottom_ - y_; }
  bool PageEmpty() const { return pages_.back().empty(); }
  void NewPage();

  double top_, bottom_, gap_;
  double y_;
  std::vector<LaidPage> pages_;
};

}  // namespace qil
