// The BMP, PNG and JPEG decoders: pixels, orientation, and refusal of bad files.
#include <gtest/gtest.h>

#include "base/LittleEndian.h"

#include <cstdlib>

#include "PictureTestFiles.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

using testfiles::Rgb;

Rgb PixelAt(const Bitmap24& bitmap, int x, int y) {
  const uint8_t* p = bitmap.RowFromTop(y) + 3 * x;
  return Rgb{p[2], p[1], p[0]};
}

// The message of the InvalidPicture that decoding raises, or "" when none is raised.
template <typename Decoder>
std::string FailureOf(Decoder decode, const std::string& file) {
  try {
    decode(file);
  } catch (const InvalidPicture& e) {
    return e.Message();
  }
  return "";
}

void PutLE32(std::string& file, size_t offset, uint32_t value) { StoreU32LE(value, file.data() + offset); }

TEST(PictureBMP, DecodesEveryDepthInBothRowOrders) {
  for (int bits : {1, 4, 8, 24, 32}) {
    for (bool top_down : {false, true}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, top_down " << top_down);
      const Bitmap24 bitmap = DecodeBMP(testfiles::EncodeBMP(11, 5, bits, top_down));
      ASSERT_EQ(bitmap.width, 11);
      ASSERT_EQ(bitmap.height, 5);
      ASSERT_EQ(bitmap.pixels.size(), 36u * 5);  // 33 bytes a row, padded to 36
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 11; ++x) {
          const Rgb expected = bits >= 24 ? testfiles::PatternColor(x, y)
                                          : testfiles::PaletteColor(testfiles::PaletteIndexAt(x, y, 1 << bits));
          ASSERT_EQ(PixelAt(bitmap, x, y), expected) << "pixel " << x << "," << y;
        }
      }
    }
  }
}

TEST(PictureBMP, IgnoresTheColourCountOfTrueColourPictures) {
  for (int bits : {24, 32}) {
    std::string file = testfiles::EncodeBMP(3, 2, bits);
    PutLE32(file, 46, 0x00FFFF00u);  // colours used: far more than the file holds
    const Bitmap24 bitmap = DecodeBMP(file);
    EXPECT_EQ(PixelAt(bitmap, 2, 1), testfiles::PatternColor(2, 1)) << bits;
  }
  std::string eight_bits = testfiles::EncodeBMP(3, 2, 8);
  PutLE32(eight_bits, 46, 0x00FFFF00u);  // clamped to the 256 a palette can have
  EXPECT_EQ(PixelAt(DecodeBMP(eight_bits), 1, 1), testfiles::PaletteColor(testfiles::PaletteIndexAt(1, 1, 256)));
}

TEST(PictureBMP, RefusesBadSizesAndUnsupportedVariants) {
  const std::string good = testfiles::EncodeBMP(4, 4, 24);
  ASSERT_EQ(FailureOf(DecodeBMP, good), "");

  std::string negative_width = good;
  PutLE32(negative_width, 18, static_cast<uint32_t>(-4));
  EXPECT_NE(FailureOf(DecodeBMP, negative_width).find("size -4 x 4"), std::string::npos);

  std::string zero_height = good;
  PutLE32(zero_height, 22, 0);
  EXPECT_NE(FailureOf(DecodeBMP, zero_height), "");

  std::string most_negative_height = good;
  PutLE32(most_negative_height, 22, 0x80000000u);
  EXPECT_NE(FailureOf(DecodeBMP, most_negative_height).find("too large"), std::string::npos);

  std::string huge = good;  // 30000 x 30000 in a file of a few bytes: refused for its size
  PutLE32(huge, 18, 30000);
  PutLE32(huge, 22, 30000);
  EXPECT_NE(FailureOf(DecodeBMP, huge).find("too large"), std::string::npos);

  std::string wide = good;  // a side beyond the metafile's coordinates
  PutLE32(wide, 18, 40000);
  PutLE32(wide, 22, 1);
  EXPECT_NE(FailureOf(DecodeBMP, wide).find("too large"), std::string::npos);

  std::string taller_than_data = good;
  PutLE32(taller_than_data, 22, 5);
  EXPECT_NE(FailureOf(DecodeBMP, taller_than_data).find("truncated"), std::string::npos);

  std::string sixteen_bits = good;
  sixteen_bits[28] = 16;
  EXPECT_NE(FailureOf(DecodeBMP, sixteen_bits).find("16 bits"), std::string::npos);

  std::string run_length = testfiles::EncodeBMP(4, 4, 8);
  PutLE32(run_length, 30, 1);
  EXPECT_NE(FailureOf(DecodeBMP, run_length).find("compression 1"), std::string::npos);

  std::string offset_past_end = good;
  PutLE32(offset_past_end, 10, 0xFFFFFFF0u);
  EXPECT_NE(FailureOf(DecodeBMP, offset_past_end).find("truncated"), std::string::npos);

  EXPECT_NE(FailureOf(DecodeBMP, "BM"), "");
  EXPECT_NE(FailureOf(DecodeBMP, good.substr(0, 30)), "");
  EXPECT_NE(FailureOf(DecodeBMP, "PK" + good.substr(2)), "");
}

TEST(PicturePNG, DecodesPixelsAndComposesTransparencyOntoWhite) {
  const Bitmap24 opaque = DecodePNG(testfiles::EncodePNG(9, 6));
  ASSERT_EQ(opaque.width, 9);
  ASSERT_EQ(opaque.height, 6);
  EXPECT_EQ(PixelAt(opaque, 0, 0), testfiles::PatternColor(0, 0));
  EXPECT_EQ(PixelAt(opaque, 8, 5), testfiles::PatternColor(8, 5));
  EXPECT_EQ(PixelAt(opaque, 3, 1), testfiles::PatternColor(3, 1));

  const Bitmap24 half_transparent = DecodePNG(testfiles::EncodePNG(8, 2, true));
  EXPECT_EQ(PixelAt(half_transparent, 1, 1), (Rgb{255, 255, 255}));
  EXPECT_EQ(PixelAt(half_transparent, 6, 1), testfiles::PatternColor(6, 1));
}

TEST(PicturePNG, TruncatedOrCorruptFilesRaise) {
  const std::string png = testfiles::EncodePNG(40, 40);
  EXPECT_NE(FailureOf(DecodePNG, png.substr(0, png.size() / 2)).find("Invalid PNG picture"), std::string::npos);
  EXPECT_NE(FailureOf(DecodePNG, png.substr(0, 20)), "");
  EXPECT_NE(FailureOf(DecodePNG, ""), "");
  std::string corrupt = png;
  for (size_t i = 60; i < corrupt.size() - 20; i += 7) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
  EXPECT_NE(FailureOf(DecodePNG, corrupt), "");
}

TEST(PictureJPEG, DecodesColourGreyAndCmykPictures) {
  for (auto colours : {testfiles::JpegColours::Rgb, testfiles::JpegColours::AdobeCmyk}) {
    const Bitmap24 colour = DecodeJPEG(testfiles::EncodeJPEG(24, 16, colours));
    ASSERT_EQ(colour.width, 24);
    ASSERT_EQ(colour.height, 16);
    for (auto [x, y] : {std::pair{0, 0}, {23, 15}, {12, 3}}) {
      const Rgb got = PixelAt(colour, x, y);
      const Rgb want = testfiles::PatternColor(x, y);
      EXPECT_LE(std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b), 24)
          << "pixel " << x << "," << y << " of kind " << static_cast<int>(colours);
    }
  }
  const Bitmap24 grey = DecodeJPEG(testfiles::EncodeJPEG(8, 8, testfiles::JpegColours::Grey));
  const Rgb p = PixelAt(grey, 4, 4);
  EXPECT_EQ(p.r, p.g);
  EXPECT_EQ(p.g, p.b);
  EXPECT_LE(std::abs(p.g - testfiles::PatternColor(4, 4).g), 6);
}

TEST(PictureJPEG, TruncatedOrCorruptFilesRaise) {
  const std::string jpeg = testfiles::EncodeJPEG(64, 64);
  EXPECT_NE(FailureOf(DecodeJPEG, jpeg.substr(0, jpeg.size() / 2)).find("Premature end"), std::string::npos);
  // Cut in the middle of its scan but ended by its end marker.
  EXPECT_NE(FailureOf(DecodeJPEG, jpeg.substr(0, jpeg.size() / 2) + "\xFF\xD9").find("premature end of data segment"),
            std::string::npos);
  EXPECT_NE(FailureOf(DecodeJPEG, jpeg.substr(0, 100)), "");
  EXPECT_NE(FailureOf(DecodeJPEG, ""), "");
  EXPECT_NE(FailureOf(DecodeJPEG, "\xFF\xD8\xFF\xE0 not a jpeg"), "");
}

TEST(PictureJPEG, RefusesAHugePictureBeforeDecodingIt) {
  std::string jpeg = testfiles::EncodeJPEG(16, 16);
  // Patch the frame header (FF C0, length, precision, height, width) to 20000 x 20000.
  const size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  for (size_t at : {sof + 5, sof + 7}) {
    jpeg[at] = static_cast<char>(20000 >> 8);
    jpeg[at + 1] = static_cast<char>(20000 & 0xFF);
  }
  EXPECT_EQ(FailureOf(DecodeJPEG, jpeg),
            "Picture of 20000 x 20000 pixels is too large (at most 32767 pixels a side and 50000000 pixels in all)");
}

}  // namespace
}  // namespace qil
