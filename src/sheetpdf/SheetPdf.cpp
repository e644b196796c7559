#include "sheetpdf/SheetPdf.h"

#include <cairo-pdf.h>
#include <glib-object.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/Convert.h"
#include "base/Text.h"
#include "mathdb/MathDatabase.h"
#include "sheetpdf/PartMarkup.h"
#include "sheetpdf/SheetLayout.h"
#include "sheetpdf/SheetPicture.h"

namespace qil {
namespace {

constexpr const char* kFontFamily = "DejaVu Sans";
constexpr double kTitleSize = 17, kTextSize = 11, kNumberSize = 11.5, kSmallSize = 8.5;
constexpr double kMargin = 54;        // left, right and top
constexpr double kFooterMargin = 30;  // below the footer's last line
constexpr double kFooterGap = 22;     // from the body's end to the footer's rule
constexpr double kIndent = 20;        // of a problem's blocks, under its number
constexpr double kPieceGap = 6;       // between the pieces of a problem
constexpr double kWorkRoom = 100;     // below each problem of the sheet
constexpr double kKeyGap = 20;        // below each problem of the key
constexpr const char* kNoteColour = "#666666";

// Where things go on a page, in points. The body ends where the footer,
// which grows with a long code, leaves room.
struct Geometry {
  double width = 0, height = 0;
  double left = 0, right = 0;  // the text column
  double top = 0, bottom = 0;  // the body
};

Geometry GeometryOf(Paper paper) {
  Geometry g;
  g.width = paper == Paper::kLetter ? 612 : 595;
  g.height = paper == Paper::kLetter ? 792 : 842;
  g.left = kMargin;
  g.right = g.width - kMargin;
  g.top = kMargin;
  g.bottom = g.height;
  return g;
}

std::string Escape(std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  gchar* escaped = g_markup_escape_text(valid, -1);
  std::string out(escaped);
  g_free(escaped);
  g_free(valid);
  return out;
}

std::string Span(std::string_view markup, double size, const char* colour = nullptr) {
  std::string span = "<span size=\"" + std::to_string(static_cast<int>(size * PANGO_SCALE)) + "\"";
  if (colour != nullptr) span += std::string(" foreground=\"") + colour + "\"";
  return span + ">" + std::string(markup) + "</span>";
}

struct LayoutRelease {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutRelease>;

double LayoutWidth(PangoLayout* layout) {
  int width = 0, height = 0;
  pango_layout_get_size(layout, &width, &height);
  return static_cast<double>(width) / PANGO_SCALE;
}

double LayoutHeight(PangoLayout* layout) {
  int width = 0, height = 0;
  pango_layout_get_size(layout, &width, &height);
  return static_cast<double>(height) / PANGO_SCALE;
}

// The PDF being written: a cairo PDF surface writing into a string, and the
// pango context that sets its text.
class PdfDocument {
 public:
  PdfDocument(const Geometry& geometry, const std::string& title) {
    surface_ = cairo_pdf_surface_create_for_stream(&PdfDocument::Append, &bytes_, geometry.width, geometry.height);
    gchar* valid = g_utf8_make_valid(title.data(), static_cast<gssize>(title.size()));
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, valid);
    g_free(valid);
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "Orvella");
    cr_ = cairo_create(surface_);
    context_ = pango_cairo_create_context(cr_);
  }
  ~PdfDocument() {
    g_object_unref(context_);
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  PdfDocument(const PdfDocument&) = delete;
  PdfDocument& operator=(const PdfDocument&) = delete;

  cairo_t* Cr() const { return cr_; }

  // A layout of markup in the sheet's font, wrapped at width points (none
  // when width is 0). Markup that pango refuses is shown as plain text.
  LayoutPtr Layout(const std::string& markup, double size, double width = 0,
                   PangoAlignment alignment = PANGO_ALIGN_LEFT) const {
    LayoutPtr layout(pango_layout_new(context_));
    PangoFontDescription* font = pango_font_description_from_string(kFontFamily);
    pango_font_description_set_size(font, static_cast<gint>(size * PANGO_SCALE));
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    if (width > 0) {
      pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
      pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_alignment(layout.get(), alignment);
    if (pango_parse_markup(markup.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr)) {
      pango_layout_set_markup(layout.get(), markup.c_str(), -1);
    } else {
      pango_layout_set_text(layout.get(), markup.c_str(), -1);
    }
    return layout;
  }

  void Show(PangoLayout* layout, double x, double y) const {
    cairo_move_to(cr_, x, y);
    pango_cairo_show_layout(cr_, layout);
  }

  void Line(double x0, double y0, double x1, double y1, double width, double grey) const {
    cairo_save(cr_);
    cairo_set_source_rgb(cr_, grey, grey, grey);
    cairo_set_line_width(cr_, width);
    cairo_move_to(cr_, x0, y0);
    cairo_line_to(cr_, x1, y1);
    cairo_stroke(cr_);
    cairo_restore(cr_);
  }

  // Ends the document and answers its bytes; raises SheetPdfError when
  // cairo failed anywhere on the way.
  std::string Finish() {
    cairo_status_t status = cairo_status(cr_);
    cairo_surface_finish(surface_);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface_);
    if (status != CAIRO_STATUS_SUCCESS) {
      throw SheetPdfError(std::string("Cannot write the worksheet PDF: ") + cairo_status_to_string(status));
    }
    return std::move(bytes_);
  }

 private:
  static cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
    try {
      static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
      return CAIRO_STATUS_SUCCESS;
    } catch (const std::bad_alloc&) {
      return CAIRO_STATUS_WRITE_ERROR;
    }
  }

  std::string bytes_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  PangoContext* context_ = nullptr;
};

// Holds one reference of a bundle of the database's cache.
class HeldBundle {
 public:
  HeldBundle(MathDatabase& db, int32_t position) : db_(db), position_(position), bundle_(db.GetBundle(position)) {}
  ~HeldBundle() {
    if (bundle_) db_.ReleaseBundle(position_, bundle_);
  }
  HeldBundle(const HeldBundle&) = delete;
  HeldBundle& operator=(const HeldBundle&) = delete;

  const ProblemBundle* get() const { return bundle_.get(); }

 private:
  MathDatabase& db_;
  int32_t position_;
  ProblemBundlePtr bundle_;
};

// The file a picture's src names: as written, else its last path segment.
std::optional<std::string_view> PictureFile(const ProblemBundle& bundle, std::string_view source,
                                            std::string& name) {
  name = std::string(source);
  if (auto file = bundle.FindFile(name)) return file;
  const size_t slash = source.find_last_of("/\\");
  if (slash == std::string_view::npos) return std::nullopt;
  name = std::string(source.substr(slash + 1));
  return bundle.FindFile(name);
}

// One part of the document: the student's sheet or the answer key.
class PartWriter {
 public:
  PartWriter(PdfDocument& pdf, const Geometry& geometry, MathDatabase& db, const SheetPdfOptions& options,
             bool key)
      : pdf_(pdf), g_(geometry), db_(db), options_(options), key_(key) {
    // The counter's room is that of a long one, so that every page wraps the code alike.
    counter_room_ = LayoutWidth(pdf_.Layout(Counter(888, 888), kSmallSize).get());
    double footer_height = LayoutHeight(pdf_.Layout(Counter(1, 1), kSmallSize).get());
    if (!options_.code.empty()) footer_height = std::max(footer_height, LayoutHeight(FooterCode().get()));
    footer_top_ = g_.height - kFooterMargin - footer_height;
    g_.bottom = footer_top_ - 5 - kFooterGap;
    const double number_height = LayoutHeight(pdf_.Layout("<b>1.</b>", kNumberSize).get());
    column_left_ = g_.left + kIndent;
    column_width_ = g_.right - column_left_;
    // A piece this tall still fits a fresh page below its problem's number.
    max_piece_height_ = g_.bottom - g_.top - number_height - kPieceGap;
  }

  void Write(const std::vector<int32_t>& positions) {
    const double first_top = DrawHeading(false);
    Paginator paginator(first_top, g_.top, g_.bottom, kPieceGap);
    std::vector<ProblemColumn> problems;
    problems.reserve(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
      problems.push_back(Column(static_cast<int>(i) + 1, positions[i]));
      paginator.Add(problems.back(), key_ ? kKeyGap : kWorkRoom);
    }
    const std::vector<LaidPage>& pages = paginator.Pages();
    for (size_t page = 0; page < pages.size(); ++page) {
      if (page == 0) DrawHeading(true);
      for (const Placement& placement : pages[page]) {
        cairo_save(pdf_.Cr());
        cairo_translate(pdf_.Cr(), placement.x, placement.y);
        placement.piece->Draw(pdf_.Cr());
        cairo_restore(pdf_.Cr());
      }
      DrawFooter(static_cast<int>(page) + 1, static_cast<int>(pages.size()));
      cairo_show_page(pdf_.Cr());
    }
  }

 private:
  // The heading of the part's first page, drawn when draw is set; answers
  // where the body starts below it. The code stands beside the title, or
  // below it when it is too long for that.
  double DrawHeading(bool draw) {
    const double width = g_.right - g_.left;
    const LayoutPtr title =
        pdf_.Layout("<b>" + (key_ ? std::string("Answer key") : Escape(options_.title)) + "</b>", kTitleSize, width);
    const LayoutPtr code = options_.code.empty() ? nullptr : pdf_.Layout("Code " + Escape(options_.code), kTextSize, width);
    const bool beside = code && LayoutWidth(title.get()) + 18 + LayoutWidth(code.get()) <= width;
    double y = g_.top;
    if (draw) pdf_.Show(title.get(), g_.left, y);
    if (draw && beside) pdf_.Show(code.get(), g_.right - LayoutWidth(code.get()), y + 4);
    y += LayoutHeight(title.get());
    if (code && !beside) {
      if (draw) pdf_.Show(code.get(), g_.left, y + 2);
      y += 2 + LayoutHeight(code.get());
    }
    y += 10;
    if (key_) {
      const LayoutPtr subtitle = pdf_.Layout(Escape(options_.title), kTextSize, width);
      if (draw) pdf_.Show(subtitle.get(), g_.left, y);
      y += LayoutHeight(subtitle.get());
    } else {
      y += DrawNameAndDate(y, draw);
    }
    y += 10;
    if (draw) pdf_.Line(g_.left, y, g_.right, y, 1, 0.3);
    return y + 18;
  }

  // "Name ____  Date ____" at y; answers its height.
  double DrawNameAndDate(double y, bool draw) {
    const LayoutPtr name = pdf_.Layout("Name", kTextSize);
    const LayoutPtr date = pdf_.Layout("Date", kTextSize);
    const double height = LayoutHeight(name.get());
    if (draw) {
      const double date_x = g_.left + (g_.right - g_.left) * 0.68;
      const double line_y = y + height;
      pdf_.Show(name.get(), g_.left, y);
      pdf_.Line(g_.left + LayoutWidth(name.get()) + 6, line_y, date_x - 18, line_y, 0.6, 0);
      pdf_.Show(date.get(), date_x, y);
      pdf_.Line(date_x + LayoutWidth(date.get()) + 6, line_y, g_.right, line_y, 0.6, 0);
    }
    return height;
  }

  std::string Counter(int page, int pages) const {
    const std::string counter = "page " + std::to_string(page) + " of " + std::to_string(pages);
    return Span(key_ ? "Answer key, " + counter : counter, kSmallSize, kNoteColour);
  }

  // The code in the footer, wrapped beside the counter when it is long.
  LayoutPtr FooterCode() const {
    return pdf_.Layout(Span("Code " + Escape(options_.code), kSmallSize, kNoteColour), kSmallSize,
                       g_.right - g_.left - counter_room_ - 18);
  }

  // A rule, the code and "page N of M".
  void DrawFooter(int page, int pages) {
    pdf_.Line(g_.left, footer_top_ - 5, g_.right, footer_top_ - 5, 0.5, 0.5);
    const LayoutPtr counter = pdf_.Layout(Counter(page, pages), kSmallSize);
    pdf_.Show(counter.get(), g_.right - LayoutWidth(counter.get()), footer_top_);
    if (!options_.code.empty()) pdf_.Show(FooterCode().get(), g_.left, footer_top_);
  }

  // The problem numbered number on the page: its number line and its part.
  ProblemColumn Column(int number, int32_t position) {
    ProblemColumn column;
    const std::string disc_number = FormatThousands(int64_t{position} + 1);
    AddText(column, g_.left,
            "<b>" + std::to_string(number) + ".</b>  " + Span("(problem " + disc_number + ")", kSmallSize, kNoteColour),
            kNumberSize);
    HeldBundle bundle(db_, position);
    if (bundle.get() == nullptr) {
      AddNote(column, "there is no problem " + disc_number + " on this disc");
      return column;
    }
    const size_t before = column.size();
    if (const auto part = bundle.get()->FindFile(key_ ? "S.htm" : "P.htm")) {
      AddBlocks(column, *bundle.get(), *part, position);
    }
    if (column.size() == before) AddNote(column, key_ ? "no solution on this disc" : "problem text missing");
    return column;
  }

  void AddBlocks(ProblemColumn& column, const ProblemBundle& bundle, std::string_view part, int32_t position) {
    for (const PartBlock& block : ReadPart(part)) {
      if (block.kind == PartBlock::Kind::kText) {
        AddText(column, column_left_, block.markup, kTextSize);
        continue;
      }
      std::string name;
      const std::optional<std::string_view> file = PictureFile(bundle, block.source, name);
      SheetPicture picture =
          SheetPicture::Load(file, block.width, block.height, ProblemID(position) + "/" + LowerCase(name));
      if (!picture.Usable()) {
        AddNote(column, picture.Problem());
        continue;
      }
      const double scale = std::min({1.0, column_width_ / picture.Width(), max_piece_height_ / picture.Height()});
      const double width = picture.Width() * scale, height = picture.Height() * scale;
      column.push_back(ColumnEntry{PicturePiece(std::move(picture), width, height), column_left_});
    }
  }

  void AddText(ProblemColumn& column, double x, const std::string& markup, double size) {
    const LayoutPtr layout = pdf_.Layout(markup, size, g_.right - x);
    for (std::unique_ptr<Piece>& piece : TextPieces(layout.get(), max_piece_height_)) {
      column.push_back(ColumnEntry{std::move(piece), x});
    }
  }

  void AddNote(ProblemColumn& column, const std::string& text) {
    AddText(column, column_left_, Span("<i>[" + Escape(text) + "]</i>", kTextSize, kNoteColour), kTextSize);
  }

  PdfDocument& pdf_;
  Geometry g_;
  MathDatabase& db_;
  const SheetPdfOptions& options_;
  bool key_;
  double counter_room_ = 0, footer_top_ = 0;
  double column_left_ = 0, column_width_ = 0, max_piece_height_ = 0;
};

}  // namespace

std::string WriteWorksheetPdf(MathDatabase& db, const std::vector<int32_t>& positions,
                              const SheetPdfOptions& options) {
  const Geometry geometry = GeometryOf(options.paper);
  PdfDocument pdf(geometry, options.title);
  PartWriter(pdf, geometry, db, options, false).Write(positions);
  if (options.answerKey) PartWriter(pdf, geometry, db, options, true).Write(positions);
  return pdf.Finish();
}

}  // namespace qil
