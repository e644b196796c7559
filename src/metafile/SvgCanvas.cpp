#include "metafile/SvgCanvas.h"

#include <png.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace qil::metafile {
namespace {

// A PNG of an image surface, written for speed rather than size: the
// pictures go straight into a page, so the fastest compression and no row
// filters, which makes a bitmap picture several times quicker than a default
// PNG at a slightly larger size. An opaque surface (RGB24) gives an RGB PNG,
// any other an RGBA one with the alpha taken out of the colours. Answers ""
// when libpng fails.
std::string FastPng(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
  if (data == nullptr || width <= 0 || height <= 0) return std::string();
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return std::string();
  }
  const int channels = opaque ? 3 : 4;
  std::vector<png_byte> row(static_cast<size_t>(width) * channels);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return std::string();
  }
  png_set_write_fn(
      png, &out,
      [](png_structp writer, png_bytep bytes, png_size_t length) {
        static_cast<std::string*>(png_get_io_ptr(writer))->append(reinterpret_cast<const char*>(bytes), length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const auto* pixels = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    png_byte* to = row.data();
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = pixels[x];  // native-endian 0xAARRGGBB, colours premultiplied
      const uint32_t alpha = opaque ? 255 : pixel >> 24;
      const auto colour = [alpha](uint32_t value) {
        return static_cast<png_byte>(alpha == 0 ? 0 : alpha == 255 ? value : (value * 255 + alpha / 2) / alpha);
      };
      *to++ = colour((pixel >> 16) & 0xFF);
      *to++ = colour((pixel >> 8) & 0xFF);
      *to++ = colour(pixel & 0xFF);
      if (!opaque) *to++ = static_cast<png_byte>(alpha);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

void Number(std::string& out, double value, int decimals = 2) {
  if (!std::isfinite(value)) value = 0;
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return out.push_back('0');
  // Trailing zeros of the fraction, and a lone point, say nothing.
  while (end > buffer && end[-1] == '0') --end;
  if (end > buffer && end[-1] == '.') --end;
  std::string_view text(buffer, end - buffer);
  if (text == "-0" || text.empty()) text = "0";
  out.append(text);
}

std::string Num(double value, int decimals = 2) {
  std::string out;
  Number(out, value, decimals);
  return out;
}

std::string Hex(Color c) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out = "#";
  for (uint8_t v : {c.r, c.g, c.b}) {
    out.push_back(kDigits[v >> 4]);
    out.push_back(kDigits[v & 15]);
  }
  return out;
}

void Escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
}

std::string Base64(std::string_view bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t v = 0;
    for (size_t j = 0; j < 3; ++j) v = v << 8 | (j < n ? static_cast<uint8_t>(bytes[i + j]) : 0);
    for (size_t j = 0; j < 4; ++j) out.push_back(j <= n ? kAlphabet[(v >> (18 - 6 * j)) & 63] : '=');
  }
  return out;
}

void PathData(std::string& out, const Path& path) {
  size_t at = 0;
  auto point = [&](const char* command) {
    out += command;
    Number(out, path.Points()[at].x);
    out.push_back(' ');
    Number(out, path.Points()[at].y);
    ++at;
  };
  for (Path::Op op : path.Ops()) {
    switch (op) {
      case Path::Op::kMove: point("M"); break;
      case Path::Op::kLine: point("L"); break;
      case Path::Op::kCurve:
        point("C");
        point(" ");
        point(" ");
        break;
      case Path::Op::kClose: out += "Z"; break;
    }
  }
}

}  // namespace

SvgCanvas::SvgCanvas(int width, int height) {
  out_ =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\"";
  out_ += " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
          std::to_string(width) + " " + std::to_string(height) + "\">\n";
}

bool SvgCanvas::Full() {
  if (out_.size() > kMaxSvgBytes) truncated_ = true;
  return truncated_;
}

std::string SvgCanvas::NewId(char kind) { return kind + std::to_string(++next_id_); }

void SvgCanvas::SetClip(const std::optional<Rect>& clip) {
  if (clip == clip_ || Full()) return;
  if (group_open_) out_ += "</g>\n";
  group_open_ = false;
  clip_ = clip;
  if (!clip) return;
  const std::string id = NewId('c');
  out_ += "<clipPath id=\"" + id + "\"><rect x=\"" + Num(clip->left) + "\" y=\"" + Num(clip->top) + "\" width=\"" +
          Num(clip->right - clip->left) + "\" height=\"" + Num(clip->bottom - clip->top) + "\"/></clipPath>\n";
  out_ += "<g clip-path=\"url(#" + id + ")\">\n";
  group_open_ = true;
}

void SvgCanvas::BlendStyle(Blend blend) {
  static const char* const kNames[] = {"normal", "multiply", "lighten", "difference"};
  if (blend == Blend::kNormal) return;
  needs_raster_ = true;
  out_ += " style=\"mix-blend-mode:";
  out_ += kNames[static_cast<int>(blend)];
  out_ += "\"";
}

std::string SvgCanvas::FillPaint(const Fill& fill) {
  if (fill.kind == Fill::Kind::kSolid) return Hex(fill.color);
  if (fill.kind == Fill::Kind::kPattern) {
    auto found = patterns_.find(fill.pattern.get());
    if (found == patterns_.end()) {
      const std::string id = NewId('p');
      const int w = cairo_image_surface_get_width(fill.pattern.get()),
                h = cairo_image_surface_get_height(fill.pattern.get());
      out_ += "<pattern id=\"" + id + "\" patternUnits=\"userSpaceOnUse\" width=\"" + Num(w * fill.tile_scale) +
              "\" height=\"" + Num(h * fill.tile_scale) + "\"><image width=\"" + Num(w * fill.tile_scale) +
              "\" height=\"" + Num(h * fill.tile_scale) + "\" preserveAspectRatio=\"none\" xlink:href=\"" +
              PngDataUri(fill.pattern) + "\"/></pattern>\n";
      found = patterns_.emplace(fill.pattern.get(), std::pair{fill.pattern, id}).first;
    }
    return "url(#" + found->second.second + ")";
  }
  const double cell = kHatchCell * fill.tile_scale;
  std::string definition =
      "<pattern id=\"@\" patternUnits=\"userSpaceOnUse\" width=\"" + Num(cell) + "\" height=\"" + Num(cell) + "\">";
  if (fill.hatch_background) {
    definition +=
        "<rect width=\"" + Num(cell) + "\" height=\"" + Num(cell) + "\" fill=\"" + Hex(*fill.hatch_background) + "\"/>";
  }
  definition +=
      "<path fill=\"none\" stroke=\"" + Hex(fill.color) + "\" stroke-width=\"" + Num(fill.tile_scale) + "\" d=\"";
  for (const Segment& s : HatchLines(fill.hatch)) {
    definition += "M" + Num(s.from.x * fill.tile_scale) + " " + Num(s.from.y * fill.tile_scale) + "L" +
                  Num(s.to.x * fill.tile_scale) + " " + Num(s.to.y * fill.tile_scale);
  }
  definition += "\"/></pattern>\n";
  auto found = hatches_.find(definition);
  if (found == hatches_.end()) {
    const std::string id = NewId('h');
    std::string text = definition;
    text.replace(text.find('@'), 1, id);
    out_ += text;
    found = hatches_.emplace(definition, id).first;
  }
  return "url(#" + found->second + ")";
}

void SvgCanvas::DrawPath(const Path& path, const Fill* fill, const Stroke* stroke, Blend blend) {
  if (Full() || path.Empty()) return;
  const std::string paint = fill ? FillPaint(*fill) : "none";
  out_ += "<path d=\"";
  PathData(out_, path);
  out_ += "\" fill=\"" + paint + "\"";
  if (fill && fill->even_odd) out_ += " fill-rule=\"evenodd\"";
  if (stroke) {
    out_ += " stroke=\"" + Hex(stroke->color) + "\" stroke-width=\"" + Num(stroke->width) + "\"";
    if (stroke->cap == Stroke::Cap::kRound) out_ += " stroke-linecap=\"round\"";
    if (stroke->cap == Stroke::Cap::kSquare) out_ += " stroke-linecap=\"square\"";
    if (stroke->join == Stroke::Join::kRound) out_ += " stroke-linejoin=\"round\"";
    if (stroke->join == Stroke::Join::kBevel) out_ += " stroke-linejoin=\"bevel\"";
    if (stroke->join == Stroke::Join::kMiter) out_ += " stroke-miterlimit=\"10\"";
    if (!stroke->dashes.empty()) {
      out_ += " stroke-dasharray=\"";
      for (size_t i = 0; i < stroke->dashes.size(); ++i) out_ += (i ? " " : "") + Num(stroke->dashes[i]);
      out_ += "\"";
    }
  }
  BlendStyle(blend);
  out_ += "/>\n";
}

void SvgCanvas::DrawText(const TextRun& run) {
  if (Full() || run.text.empty()) return;
  out_ += "<text transform=\"translate(" + Num(run.origin.x) + " " + Num(run.origin.y) + ")";
  if (run.angle != 0) out_ += " rotate(" + Num(-run.angle) + ")";
  out_ += "\"";
  if (!run.offsets.empty()) {
    out_ += " x=\"";
    for (size_t i = 0; i < run.offsets.size(); ++i) out_ += (i ? " " : "") + Num(run.offsets[i]);
    out_ += "\" y=\"0\"";
  }
  out_ += " font-family=\"";
  if (!run.font.face.empty()) {
    out_ += "'";
    Escaped(out_, run.font.face);
    out_ += "', ";
  }
  out_ += run.font.generic + "\" font-size=\"" + Num(run.font.size) + "\"";
  if (run.font.weight != 400) out_ += " font-weight=\"" + std::to_string(run.font.weight) + "\"";
  if (run.font.italic) out_ += " font-style=\"italic\"";
  if (run.font.underline || run.font.strikeout) {
    out_ += " text-decoration=\"";
    out_ += run.font.underline ? (run.font.strikeout ? "underline line-through" : "underline") : "line-through";
    out_ += "\"";
  }
  if (run.anchor == TextRun::Anchor::kMiddle) out_ += " text-anchor=\"middle\"";
  if (run.anchor == TextRun::Anchor::kEnd) out_ += " text-anchor=\"end\"";
  out_ += " fill=\"" + Hex(run.color) + "\" xml:space=\"preserve\">";
  Escaped(out_, run.text);
  out_ += "</text>\n";
}

std::string SvgCanvas::PngDataUri(const Surface& image) {
  return "data:image/png;base64," + Base64(FastPng(image.get()));
}

void SvgCanvas::DrawImage(const Surface& image, Point corner0, Point corner1, Blend blend) {
  if (Full()) return;
  const int w = cairo_image_surface_get_width(image.get()), h = cairo_image_surface_get_height(image.get());
  if (w <= 0 || h <= 0) return;
  out_ += "<image width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
          "\" preserveAspectRatio=\"none\" transform=\"matrix(" + Num((corner1.x - corner0.x) / w, 6) + " 0 0 " +
          Num((corner1.y - corner0.y) / h, 6) + " " + Num(corner0.x) + " " + Num(corner0.y) + ")\"";
  BlendStyle(blend);
  out_ += " xlink:href=\"" + PngDataUri(image) + "\"/>\n";
}

std::string SvgCanvas::Finish() {
  if (group_open_) out_ += "</g>\n";
  group_open_ = false;
  out_ += "</svg>\n";
  return std::move(out_);
}

}  // namespace qil::metafile
