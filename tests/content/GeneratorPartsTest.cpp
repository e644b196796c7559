// The generator's building blocks: exact fractions, the random source, text
// conversion, the picture encoders (read back with the engine's own decoders)
// and the page fragments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <stdexcept>

#include "DiscWriter.h"
#include "Kit.h"
#include "MathText.h"
#include "Pictures.h"
#include "Random.h"
#include "Rational.h"
#include "base/MemoryStream.h"
#include "picture/Gunzip.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil::disc {
namespace {

TEST(Rational, ArithmeticStaysInLowestTerms) {
  Rational a(6, -8);
  EXPECT_EQ(a.Num(), -3);
  EXPECT_EQ(a.Den(), 4);
  EXPECT_EQ(Rational(1, 3) + Rational(1, 6), Rational(1, 2));
  EXPECT_EQ(Rational(2, 3) * Rational(9, 4), Rational(3, 2));
  EXPECT_EQ(Rational(2, 3) / Rational(-4, 9), Rational(-3, 2));
  EXPECT_TRUE(Rational(-1, 2) < Rational(1, 3));
  EXPECT_THROW(Rational(1, 0), std::domain_error);
  EXPECT_THROW(Rational(1) / Rational(0), std::domain_error);
}

TEST(Rational, OverflowRaisesInsteadOfWrapping) {
  Rational big(INT64_MAX / 2 + 1);
  EXPECT_THROW(big * Rational(2), std::overflow_error);
  EXPECT_THROW(big + big, std::overflow_error);
}

TEST(Rational, DecimalsAndRounding) {
  EXPECT_EQ(Rational(99, 8).DecimalText(), "12.375");
  EXPECT_EQ(Rational(-1, 2).DecimalText(), "-0.5");
  EXPECT_FALSE(Rational(1, 3).IsTerminatingDecimal());
  EXPECT_THROW(Rational(1, 3).DecimalText(), std::invalid_argument);
  EXPECT_EQ(Rational(1, 8).Round(2), Rational(13, 100));   // 0.125 -> 0.13
  EXPECT_EQ(Rational(-1, 8).Round(2), Rational(-13, 100));  // halves away from zero
  EXPECT_EQ(Rational(2, 3).Round(2), Rational(67, 100));
}

TEST(Rational, WholeNumberHelpers) {
  int64_t out, in;
  SplitSquareRoot(72, out, in);
  EXPECT_EQ(out, 6);
  EXPECT_EQ(in, 2);
  SplitSquareRoot(49, out, in);
  EXPECT_EQ(out, 7);
  EXPECT_EQ(in, 1);
  EXPECT_EQ(ExactSqrt(50), -1);
  EXPECT_EQ(Lcm(4, 6), 12);
  EXPECT_EQ(Binomial(10, 3), 120);
  auto f = Factorize(360);
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0], std::make_pair(int64_t{2}, 3));
}

TEST(Random, SameSeedSameSequenceAndRangesHold) {
  Rng a = Rng::Derive(5, "B012", 3, 0), b = Rng::Derive(5, "B012", 3, 0), c = Rng::Derive(5, "B012", 4, 0);
  bool differs = false;
  for (int i = 0; i < 100; ++i) {
    uint64_t x = a.Next();
    EXPECT_EQ(x, b.Next());
    differs = differs || x != c.Next();
  }
  EXPECT_TRUE(differs);
  std::set<int64_t> seen;
  for (int i = 0; i < 2000; ++i) {
    int64_t v = a.Range(-3, 3);
    ASSERT_GE(v, -3);
    ASSERT_LE(v, 3);
    seen.insert(v);
    ASSERT_NE(a.NonZero(-1, 1), 0);
  }
  EXPECT_EQ(seen.size(), 7u);
}

TEST(MathText, PlainTextIsAscii) {
  std::string plain = PlainText("<i>x</i>\u00b2 \u2212 3 \u00d7 4 &lt; \u03c0 \u2264 5" + kDegree);
  EXPECT_EQ(plain, "x^2 - 3 * 4 < pi <= 5 deg");
  EXPECT_EQ(PlainText("a<sup>3</sup>"), "a^3");
  EXPECT_EQ(PlainText("\u2603snow"), "snow");  // no ASCII form: dropped
  EXPECT_EQ(HtmlEscape("a \"b\" <c> & d"), "a &quot;b&quot; &lt;c&gt; &amp; d");
  EXPECT_EQ(Linear(1, "x", -5), "<i>x</i> \u2212 5");
  EXPECT_EQ(Linear(-1, "x", 0), "\u2212<i>x</i>");
  EXPECT_EQ(Linear(0, "x", 0), "0");
  EXPECT_EQ(Money(Rational(25, 2)), "$12.50");
}

TEST(Sheet, PlainTextOfFormulas) {
  Formula mixed;
  mixed.T("1").Frac("6", "11").T(" + ").Frac("x + 1", "2");
  EXPECT_EQ(mixed.Plain(), "1 6/11 + (x + 1)/2");
  Formula whole;
  FracValue(whole, 12, 1);
  EXPECT_EQ(whole.Plain(), "12");
  Formula reduced;
  FracValue(reduced, 6, -4);
  EXPECT_EQ(reduced.Plain(), "6/(-4) = -3/2");
  Sheet s;
  s.Para("Solve <i>x</i> &lt; 3.").Answer(Formula("x = ").Q(Rational(-1, 2)));
  EXPECT_EQ(s.Plain(), "Solve x < 3. Answer: x = -1/2");
}

Raster Gradient(int w, int h) {
  Raster r{w, h, {}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) r.pixels.push_back(uint32_t(x * 255 / (w - 1)) << 16 | uint32_t(y * 255 / (h - 1)) << 8 | 0x40);
  }
  return r;
}

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

uint32_t Pixel(const Bitmap24& b, int x, int y) {
  const uint8_t* p = b.RowFromTop(y) + x * 3;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

int Distance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) d = std::max(d, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
  return d;
}

TEST(Pictures, BmpReadsBackExactly) {
  Raster r = Gradient(13, 7);  // 39 bytes a row: padding needed
  Bitmap24 b = DecodeBMP(Text(EncodeBmp(r)));
  ASSERT_EQ(b.width, 13);
  ASSERT_EQ(b.height, 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 13; ++x) EXPECT_EQ(Pixel(b, x, y), r.At(x, y)) << x << "," << y;
  }
}

TEST(Pictures, PngPaletteKeepsColoursClose) {
  Raster r = Gradient(120, 90);  // far more than 256 colours
  Bitmap24 b = DecodePNG(Text(EncodePng(r)));
  ASSERT_EQ(b.width, 120);
  ASSERT_EQ(b.height, 90);
  int worst = 0;
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 120; ++x) worst = std::max(worst, Distance(Pixel(b, x, y), r.At(x, y)));
  }
  EXPECT_LE(worst, 48);
}

TEST(Pictures, PngOfFewColoursIsExactAndSmallDepth) {
  Raster r{30, 10, std::vector<uint32_t>(300, 0xFFFFFF)};
  for (int x = 0; x < 30; ++x) r.pixels[5 * 30 + x] = 0x111111;
  Bytes png = EncodePng(r);
  ASSERT_GT(png.size(), 25u);
  EXPECT_EQ(png[24], 1) << "bit depth of a two-colour picture";
  EXPECT_EQ(png[25], 3) << "colour type: palette";
  Bitmap24 b = DecodePNG(Text(png));
  EXPECT_EQ(Pixel(b, 3, 5), 0x111111u);
  EXPECT_EQ(Pixel(b, 3, 4), 0xFFFFFFu);
}

TEST(Pictures, JpegDecodesToTheSameSize) {
  Raster r = Gradient(64, 40);
  Bitmap24 b = DecodeJPEG(Text(EncodeJpeg(r)));
  ASSERT_EQ(b.width, 64);
  ASSERT_EQ(b.height, 40);
  EXPECT_LE(Distance(Pixel(b, 32, 20), r.At(32, 20)), 16);
}

TEST(Pictures, MetafileAndGzipReadBack) {
  Raster r = Gradient(50, 20);
  Bytes wmf = EncodeWmf(r);
  MetafileSize size;
  ASSERT_TRUE(ReadPlaceableMetafile(Text(wmf), size));
  EXPECT_EQ(size.width, 50);
  EXPECT_EQ(size.height, 20);

  Bytes wmz = Encode(r, PictureFormat::kWmz);
  ASSERT_GT(wmz.size(), 10u);
  EXPECT_EQ(wmz[3] & 8, 8) << "the gzip header names the inner file";
  MemoryStream source(Text(wmz)), target;
  GunzipToStream(source, target);
  EXPECT_EQ(target.Bytes(), Text(wmf));
}

TEST(Pictures, EqualRastersGiveEqualBytes) {
  Raster r = Gradient(40, 30);
  for (PictureFormat f : {PictureFormat::kPng, PictureFormat::kJpeg, PictureFormat::kBmp, PictureFormat::kWmf,
                          PictureFormat::kWmz}) {
    EXPECT_EQ(Encode(r, f), Encode(r, f)) << Extension(f);
  }
}

TEST(Pages, PictureFragmentEscapesAltText) {
  std::string html = ProblemPageHtml("problem", {{"M_image1.png", 620, 80, "Is 3 < 4 & \"5\" > 2?"}});
  EXPECT_NE(html.find("<img src=\"M_image1.png\" width=\"620\" height=\"80\" alt=\"Is 3 &lt; 4 &amp; &quot;5&quot; &gt; 2?\">"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.rfind("<div class=\"problem\">", 0), 0u);
}

TEST(Pages, FormatsAreMostlyPngAndStable) {
  int png = 0, total = 0;
  for (int n = 1; n <= 400; ++n) {
    ProblemFormats f = FormatsFor(1, "A011", n);
    ProblemFormats again = FormatsFor(1, "A011", n);
    EXPECT_EQ(f.statement, again.statement);
    EXPECT_EQ(f.solution, again.solution);
    for (PictureFormat p : {f.statement, f.solution}) {
      png += p == PictureFormat::kPng ? 1 : 0;
      ++total;
    }
  }
  EXPECT_GT(png * 10, total * 9);
}

}  // namespace
}  // namespace qil::disc
