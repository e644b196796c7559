#include "Artwork.h"

#include <cairo.h>

#include <cmath>
#include <numbers>

namespace qil::disc {

namespace {

std::string DigitMarkup(char digit) {
  return std::string("<span stretch=\"condensed\" weight=\"bold\">") + digit + "</span>";
}

}  // namespace

Raster ProblemDigit(Renderer& renderer, char digit) {
  return renderer.RenderCustom(8, 22, [digit](Painter& p) {
    p.Label({4.0, 11.5}, DigitMarkup(digit), 0.5, 0.5, 9.5, kAccent);
  });
}

Raster ProblemSeparator(Renderer& renderer) {
  return renderer.RenderCustom(4, 22, [](Painter& p) {
    p.Label({2.0, 12.5}, DigitMarkup(','), 0.5, 0.5, 9.5, kAccent);
  });
}

Raster CounterDigit(Renderer& renderer, char digit) {
  return renderer.RenderCustom(14, 21, [digit](Painter& p) {
    cairo_t* cr = p.Cairo();
    // A dark tile, a little lighter at the top, like the wheel of a mechanical counter;
    // a darker right edge parts the digits when the tiles stand side by side.
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, 21);
    cairo_pattern_add_color_stop_rgb(shade, 0.0, 0.27, 0.33, 0.40);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, 0.13, 0.17, 0.22);
    cairo_rectangle(cr, 0, 0, 14, 21);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    cairo_rectangle(cr, 13, 0, 1, 21);
    cairo_set_source_rgb(cr, 0.08, 0.10, 0.13);
    cairo_fill(cr);
    p.Label({6.5, 10.8}, DigitMarkup(digit), 0.5, 0.5, 10.5, kWhite);
  });
}

Raster AboutPicture(Renderer& renderer, const std::string& figures) {
  return renderer.RenderCustom(498, 314, [&figures](Painter& p) {
    cairo_t* cr = p.Cairo();
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 498, 314);
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.07, 0.18, 0.31);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.10, 0.37, 0.46);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    // Squared paper.
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    for (int x = 9; x < 498; x += 18) {
      cairo_move_to(cr, x + 0.5, 0);
      cairo_line_to(cr, x + 0.5, 314);
    }
    for (int y = 13; y < 314; y += 18) {
      cairo_move_to(cr, 0, y + 0.5);
      cairo_line_to(cr, 498, y + 0.5);
    }
    cairo_stroke(cr);

    // Figures on the right: a circle with a radius, a right triangle, a parabola.
    cairo_set_line_width(cr, 2.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.22);
    cairo_arc(cr, 390, 120, 78, 0, 2 * std::numbers::pi);
    cairo_stroke(cr);
    cairo_move_to(cr, 390, 120);
    cairo_line_to(cr, 390 + 78 * std::cos(-0.6), 120 + 78 * std::sin(-0.6));
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0.98, 0.80, 0.40, 0.55);
    cairo_move_to(cr, 300, 262);
    cairo_line_to(cr, 452, 262);
    cairo_line_to(cr, 300, 168);
    cairo_close_path(cr);
    cairo_stroke(cr);
    cairo_rectangle(cr, 300, 250, 12, 12);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0.55, 0.85, 0.95, 0.45);
    for (int i = 0; i <= 60; ++i) {
      double t = -1.0 + i / 30.0;
      double x = 250 + t * 70, y = 300 - 110 * (1 - t * t);
      if (i == 0) {
        cairo_move_to(cr, x, y);
      } else {
        cairo_line_to(cr, x, y);
      }
    }
    cairo_stroke(cr);

    const Color soft{0.80, 0.89, 0.95};
    p.Label({355, 300}, "<i>a</i>\u00b2 + <i>b</i>\u00b2 = <i>c</i>\u00b2", 0.5, 1.0, 10.0, soft);
    p.Label({32, 70}, "<b>Orvella</b>", 0.0, 0.5, 34.0, kWhite);
    p.Label({34, 112}, "Mathematics problem bank", 0.0, 0.5, 14.0, soft);
    p.Label({34, 136}, "for test preparation", 0.0, 0.5, 14.0, soft);
    p.Label({34, 178}, figures, 0.0, 0.5, 9.5, soft);
    p.Label({34, 268}, "<b>Brenlowe: Orvella v1.00</b>", 0.0, 0.5, 10.0, kWhite);
    p.Label({34, 288}, "Click the picture to close it.", 0.0, 0.5, 8.5, soft);
  });
}

}  // namespace qil::disc
