#include "WmfRecorder.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstddef>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "pictures/WmfWriter.h"
#include "metafile/TextEncoding.h"
#include "picture/Metafile.h"

namespace qil::disc {

namespace {

constexpr int kUnitsPerPixel = 15;  // 1440 units per inch at 96 pixels per inch

constexpr int kAnisotropic = 8;
constexpr int kTransparent = 1;
constexpr int kBaselineLeft = 24;  // text placed by the left end of its baseline
constexpr int kAnsiCharset = 0;
// Proportional sans-serif: a reader that lacks a face falls back to a sans font,
// which suits the disc's pictures, also for the symbols.
constexpr int kSansProportional = 0x22;
constexpr int kPenSolid = 0;
constexpr const char* kTextFace = "DejaVu Sans";
constexpr const char* kSymbolFace = "Symbol";

// The characters the disc writes in the Symbol font: its Greek letters (the
// font's codes A to Z and a to z) and these operators. Their codes, and the
// Windows-1252 codes of the other text, come from the metafile reader's
// tables (metafile/TextEncoding.h), so the writer and the reader of the
// disc's formulas cannot disagree.
constexpr char32_t kSymbolOperators[] = {
    0x2200, 0x2203, 0x2217, 0x2212, 0x2245, 0x2234, 0x22A5, 0x223C, 0x2032, 0x2264, 0x221E,
    0x2194, 0x2190, 0x2191, 0x2192, 0x2193, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2205, 0x2229, 0x222A, 0x2208, 0x2209, 0x2220, 0x2207,
    0x220F, 0x221A, 0x22C5, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D2, 0x2211, 0x222B,
};
constexpr char32_t kGreekFirst = 0x0391, kGreekLast = 0x03D6;  // the Greek the font's letters hold

// Spaces a text run writes as plain ones: thin and hair spaces, and the narrow no-break space.
constexpr std::pair<char32_t, uint8_t> kSpaces[] = {{0x2009, 0x20}, {0x200A, 0x20}, {0x202F, 0xA0}};

// The first code from first to last that the metafile reader reads as c in charset.
std::optional<uint8_t> CodeIn(metafile::TextCharset charset, char32_t c, int first, int last) {
  for (int code = first; code <= last; ++code) {
    if (metafile::DecodeChar(static_cast<uint8_t>(code), charset) == c) return static_cast<uint8_t>(code);
  }
  return std::nullopt;
}

// Coordinates in metafile units; the format holds 16-bit values.
int16_t Units(double pixels) {
  const long units = std::lround(pixels * kUnitsPerPixel);
  if (units < INT16_MIN || units > INT16_MAX) throw std::runtime_error("a picture is too large for a metafile");
  return static_cast<int16_t>(units);
}

uint32_t ColorRef(Color c) {
  auto channel = [](double v) { return static_cast<uint32_t>(std::lround(v * 255)); };
  return channel(c.r) | channel(c.g) << 8 | channel(c.b) << 16;
}

struct FontKey {
  bool symbol;
  int height;  // units, the character height (the em)
  int weight;
  bool italic;
  auto operator<=>(const FontKey&) const = default;
};

struct PenKey {
  int width;  // units
  uint32_t color;
  auto operator<=>(const PenKey&) const = default;
};

// Characters of one font on one baseline: their codes and the left edges of
// each, followed by the right edge of the last.
struct Segment {
  bool symbol = false;
  std::string codes;
  std::vector<double> edges;
};

class WmfCanvas : public SheetCanvas {
 public:
  void Begin(int width, int height) override {
    width_ = width;
    height_ = height;
    wmf_.MapMode(kAnisotropic).WindowOrg(0, 0).WindowExt(Units(width), Units(height));
    wmf_.BkMode(kTransparent).TextAlign(kBaselineLeft);
  }

  void Text(PangoLayout* layout, double x, double top, Color color) override {
    const char* text = pango_layout_get_text(layout);
    std::unique_ptr<PangoLayoutIter, void (*)(PangoLayoutIter*)> iter(pango_layout_get_iter(layout),
                                                                       pango_layout_iter_free);
    do {
      PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter.get());
      if (run == nullptr) continue;  // the end of a line
      PangoRectangle logical;
      pango_layout_iter_get_run_extents(iter.get(), nullptr, &logical);
      const double baseline = top + pango_layout_iter_get_run_baseline(iter.get()) / double(PANGO_SCALE);
      GlyphRun(run, text, x + logical.x / double(PANGO_SCALE), baseline, color);
    } while (pango_layout_iter_next_run(iter.get()));
  }

  void Lines(const std::vector<Pt>& points, double width, Color color) override {
    if (points.size() < 2) return;
    SelectPen({Units(width), ColorRef(color)});
    if (points.size() == 2) {
      wmf_.MoveTo(Units(points[0].x), Units(points[0].y)).LineTo(Units(points[1].x), Units(points[1].y));
      return;
    }
    std::vector<std::pair<int, int>> units;
    for (const Pt& pt : points) units.emplace_back(Units(pt.x), Units(pt.y));
    wmf_.Polyline(units);
  }

  // The objects deleted, then the placeable metafile whose box is the picture
  // at 1440 units per inch.
  VectorPicture Finish() {
    for (int i = 0; i < objects_; ++i) wmf_.Delete(i);
    const std::string all =
        wmf_.Objects(objects_).Placeable(0, 0, Units(width_), Units(height_), kPixelsPerInch * kUnitsPerPixel);
    return {width_, height_, Bytes(all.begin(), all.end())};
  }

 private:
  // The object that `create` records the first time `key` is asked for, selected.
  template <typename Key>
  void Select(std::map<Key, int>& made, const Key& key, int& selected, const auto& create) {
    auto [at, added] = made.emplace(key, objects_);
    if (added) {
      create();
      ++objects_;
    }
    if (selected != at->second) wmf_.Select(at->second);
    selected = at->second;
  }

  void SelectPen(const PenKey& key) {
    Select(pens_, key, pen_, [&] { wmf_.Pen(kPenSolid, key.width, key.color); });
  }

  void SelectFont(const FontKey& key) {
    Select(fonts_, key, font_, [&] {
      wmf_.Font(-key.height, key.symbol ? kSymbolFace : kTextFace, 0, key.weight,
                key.symbol ? metafile::kSymbolCharset : kAnsiCharset, key.italic, false, kSansProportional);
    });
  }

  void GlyphRun(PangoLayoutRun* run, const char* text, double x, double baseline, Color color) {
    const PangoItem* item = run->item;
    PangoFontDescription* described = pango_font_describe_with_absolute_size(item->analysis.font);
    const std::string family = pango_font_description_get_family(described);
    const int height = Units(pango_font_description_get_size(described) / double(PANGO_SCALE));
    const int weight = pango_font_description_get_weight(described);
    const bool italic = pango_font_description_get_style(described) != PANGO_STYLE_NORMAL;
    pango_font_description_free(described);
    if (family != kTextFace) throw std::runtime_error("picture text fell back to the font " + family);

    const char* at = text + item->offset;
    std::vector<int> widths(static_cast<size_t>(item->num_chars));
    pango_glyph_string_get_logical_widths(run->glyphs, at, item->length, item->analysis.level, widths.data());
    Segment segment;
    for (int width : widths) {
      const char32_t c = g_utf8_get_char(at);
      at = g_utf8_next_char(at);
      const std::optional<uint8_t> symbol = SymbolCode(c), ansi = AnsiCode(c);
      if (!symbol && !ansi) {
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
        throw std::runtime_error(std::string("no metafile font holds the character ") + name);
      }
      if (!segment.codes.empty() && segment.symbol != symbol.has_value()) {
        Show(segment, {segment.symbol, height, weight, italic}, baseline, color);
        segment = Segment{};
      }
      if (segment.codes.empty()) segment.edges.push_back(x);
      segment.symbol = symbol.has_value();
      segment.codes.push_back(static_cast<char>(symbol ? *symbol : *ansi));
      x += width / double(PANGO_SCALE);
      segment.edges.push_back(x);
    }
    Show(segment, {segment.symbol, height, weight, italic}, baseline, color);
  }

  // One text record for the segment, without its spaces at either end.
  void Show(Segment s, const FontKey& font, double baseline, Color color) {
    while (!s.codes.empty() && s.codes.back() == ' ') {
      s.codes.pop_back();
      s.edges.pop_back();
    }
    const size_t lead = std::min(s.codes.find_first_not_of(' '), s.codes.size());
    s.codes.erase(0, lead);
    s.edges.erase(s.edges.begin(), s.edges.begin() + static_cast<std::ptrdiff_t>(lead));
    if (s.codes.empty()) return;
    SelectFont(font);
    if (ColorRef(color) != textColor_) {
      textColor_ = ColorRef(color);
      wmf_.TextColor(textColor_);
    }
    // Advances between rounded edges, so rounding never adds up along the run.
    std::vector<int> advances;
    for (size_t i = 0; i < s.codes.size(); ++i) advances.push_back(Units(s.edges[i + 1]) - Units(s.edges[i]));
    wmf_.ExtTextOut(Units(s.edges[0]), Units(baseline), 0, {}, s.codes, advances);
  }

  picturefiles::WmfWriter wmf_;
  int width_ = 0, height_ = 0;
  int objects_ = 0;
  std::map<FontKey, int> fonts_;
  std::map<PenKey, int> pens_;
  int font_ = -1, pen_ = -1;
  uint32_t textColor_ = 0xFFFFFFFF;  // none yet
};

}  // namespace

std::optional<uint8_t> SymbolCode(char32_t c) {
  const bool greek = c >= kGreekFirst && c <= kGreekLast;
  if (!greek && std::ranges::find(kSymbolOperators, c) == std::end(kSymbolOperators)) return std::nullopt;
  const std::optional<uint8_t> code = CodeIn(metafile::TextCharset::kSymbol, c, 0x20, 0xFF);
  const bool letter = code && ((*code >= 'A' && *code <= 'Z') || (*code >= 'a' && *code <= 'z'));
  return greek && !letter ? std::nullopt : code;
}

std::optional<uint8_t> AnsiCode(char32_t c) {
  if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF)) return static_cast<uint8_t>(c);
  for (const auto& [space, code] : kSpaces) {
    if (space == c) return code;
  }
  return CodeIn(metafile::TextCharset::kWindows1252, c, 0x80, 0x9F);
}

bool HasSymbols(std::string_view text) {
  for (const char* at = text.data(); at < text.data() + text.size(); at = g_utf8_next_char(at)) {
    if (SymbolCode(g_utf8_get_char(at))) return true;
  }
  return false;
}

VectorPicture RecordSheet(Renderer& renderer, const Sheet& sheet, int width) {
  WmfCanvas canvas;
  renderer.DrawSheet(sheet, width, canvas);
  return canvas.Finish();
}

}  // namespace qil::disc
