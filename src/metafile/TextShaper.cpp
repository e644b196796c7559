#include "metafile/TextShaper.h"

#include <pango/pangocairo.h>

#include <cmath>
#include <numbers>

namespace qil::metafile {
namespace {

// Metrics are measured at this size and scaled.
constexpr double kReferenceSize = 256;

std::string FamilyList(const FontSpec& font) {
  return font.face.empty() ? font.generic : font.face + "," + font.generic;
}

PangoFontDescription* Describe(const FontSpec& font, double size) {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, FamilyList(font).c_str());
  pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
  pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
  pango_font_description_set_style(description, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return description;
}

// The number of bytes of the UTF-8 character that starts with lead.
size_t CharLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

}  // namespace

TextShaper::TextShaper() : context_(pango_font_map_create_context(pango_cairo_font_map_get_default())) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context_, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(context_, FALSE);
}

TextShaper::~TextShaper() { g_object_unref(context_); }

TextShaper::Metrics TextShaper::FontMetrics(const FontSpec& font) {
  const std::string key = FamilyList(font) + '/' + std::to_string(font.weight) + (font.italic ? "i" : "");
  auto found = metrics_.find(key);
  if (found == metrics_.end()) {
    PangoFontDescription* description = Describe(font, kReferenceSize);
    PangoFontMetrics* metrics = pango_context_get_metrics(context_, description, nullptr);
    Metrics reference{static_cast<double>(pango_font_metrics_get_ascent(metrics)) / PANGO_SCALE,
                      static_cast<double>(pango_font_metrics_get_descent(metrics)) / PANGO_SCALE};
    pango_font_metrics_unref(metrics);
    pango_font_description_free(description);
    found = metrics_.emplace(key, reference).first;
  }
  const double scale = font.size / kReferenceSize;
  return Metrics{found->second.ascent * scale, found->second.descent * scale};
}

PangoLayout* TextShaper::Layout(const FontSpec& font, bool decorated) {
  PangoLayout* layout = pango_layout_new(context_);
  PangoFontDescription* description = Describe(font, font.size);
  pango_layout_set_font_description(layout, description);
  pango_font_description_free(description);
  if (decorated && (font.underline || font.strikeout)) {
    PangoAttrList* attributes = pango_attr_list_new();
    if (font.underline) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeout) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
  }
  return layout;
}

double TextShaper::Width(const FontSpec& font, std::string_view text) {
  PangoLayout* layout = Layout(font, false);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

void TextShaper::Draw(cairo_t* cr, const TextRun& run) {
  if (run.text.empty()) return;
  cairo_save(cr);
  cairo_set_source_rgb(cr, run.color.r / 255.0, run.color.g / 255.0, run.color.b / 255.0);
  cairo_translate(cr, run.origin.x, run.origin.y);
  cairo_rotate(cr, -run.angle * std::numbers::pi / 180);
  pango_cairo_update_context(cr, context_);
  PangoLayout* layout = Layout(run.font, true);
  // Shows the text with its baseline's left end at (x, 0).
  auto show = [&](std::string_view text, double x, bool anchored) {
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    const double width = static_cast<double>(logical.width) / PANGO_SCALE;
    if (anchored && run.anchor == TextRun::Anchor::kMiddle) x -= width / 2;
    if (anchored && run.anchor == TextRun::Anchor::kEnd) x -= width;
    cairo_move_to(cr, x, -static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE);
    pango_cairo_show_layout(cr, layout);
  };
  if (run.offsets.empty()) {
    show(run.text, 0, true);
  } else {
    size_t at = 0;
    for (double offset : run.offsets) {
      if (at >= run.text.size()) break;
      const size_t length = std::min(CharLength(static_cast<unsigned char>(run.text[at])), run.text.size() - at);
      show(std::string_view(run.text).substr(at, length), offset, false);
      at += length;
    }
  }
  g_object_unref(layout);
  pango_context_set_matrix(context_, nullptr);
  cairo_restore(cr);
}

}  // namespace qil::metafile
