// The raster decoders (BMP, PNG, JPEG) and the metafile writer and reader, on
// files of the shared encoders. Gzip inflation is tested through PictureToRTF,
// its only user, which swallows its errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "base/LittleEndian.h"
#include "base/MemoryStream.h"
#include "pictures/PictureFiles.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

using namespace picturefiles;

Rgb PixelAt(const Bitmap24& bitmap, int x, int y) {
  const uint8_t* p = bitmap.RowFromTop(y) + 3 * x;
  return Rgb{p[2], p[1], p[0]};
}

// The message of the error that run raises; "" when none.
std::string FailureOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const InvalidPicture& e) {
    return e.Message();
  }
  return "";
}

std::string Patched(std::string file, size_t offset, uint32_t value) {
  StoreU32LE(value, file.data() + offset);
  return file;
}

TEST(PictureDecoders, BmpOfEveryDepthInBothRowOrders) {
  for (int bits : {1, 4, 8, 24, 32}) {
    const Pixels source = bits >= 24 ? Pattern(11, 5, bits / 8) : Pattern(11, 5, 1, 1 << bits);
    for (bool top_down : {false, true}) {
      const Bitmap24 bitmap = DecodeBMP(EncodeBMP(source, top_down));
      ASSERT_EQ(bitmap.pixels.size(), 36u * 5) << bits;  // rows of 33 bytes padded to 36
      for (int i = 0; i < 55; ++i) ASSERT_EQ(PixelAt(bitmap, i % 11, i / 11), source.At(i % 11, i / 11)) << bits << " " << i;
    }
  }
  // The colour count is ignored without a palette and clamped to 256 with one.
  for (const Pixels& source : {Pattern(3, 2, 3), Pattern(3, 2, 4), Pattern(3, 2, 1, 256)}) {
    EXPECT_EQ(PixelAt(DecodeBMP(Patched(EncodeBMP(source), 46, 0x00FFFF00u)), 2, 1), source.At(2, 1));
  }
}

TEST(PictureDecoders, PngAndJpegPixelsOfEveryKind) {
  const Pixels rgb = Pattern(9, 6);
  const Bitmap24 png = DecodePNG(EncodePNG(rgb)), half_transparent = DecodePNG(EncodePNG(Pattern(8, 2, 4)));
  for (auto [x, y] : {std::pair{0, 0}, {8, 5}, {3, 1}}) EXPECT_EQ(PixelAt(png, x, y), rgb.At(x, y));
  EXPECT_EQ(PixelAt(half_transparent, 1, 1), (Rgb{255, 255, 255}));  // composed onto white
  EXPECT_EQ(PixelAt(half_transparent, 6, 1), rgb.At(6, 1));
  Pixels cmyk = Pattern(24, 16, 4);
  for (size_t i = 3; i < cmyk.bytes.size(); i += 4) cmyk.bytes[i] = 255;  // no black ink
  for (const Pixels& source : {Pattern(24, 16), cmyk, Pattern(24, 16, 1)}) {
    const Bitmap24 jpeg = DecodeJPEG(EncodeJPEG(source));
    ASSERT_EQ(jpeg.width * 100 + jpeg.height, 2416);
    for (auto [x, y] : {std::pair{0, 0}, {23, 15}, {12, 3}}) {
      const Rgb got = PixelAt(jpeg, x, y), want = source.At(x, y);
      EXPECT_LE(std::abs(got.r - want.r) + std::abs(got.g - want.g) + std::abs(got.b - want.b), 24) << source.channels;
    }
  }
}

TEST(PictureDecoders, RefuseBadSizesVariantsAndTruncatedOrCorruptFiles) {
  const std::string bmp = EncodeBMP(Pattern(4, 4)), png = EncodePNG(Pattern(40, 40)), jpeg = EncodeJPEG(Pattern(64, 64));
  std::string corrupt_png = png, huge_jpeg = EncodeJPEG(Pattern(16, 16));
  for (size_t i = 60; i < corrupt_png.size() - 20; i += 7) corrupt_png[i] = static_cast<char>(corrupt_png[i] ^ 0x5A);
  const size_t frame = huge_jpeg.find("\xFF\xC0");  // FF C0, length, precision, height, width
  for (size_t at : {frame + 5, frame + 7}) huge_jpeg.replace(at, 2, "\x4E\x20");  // 20000
  using Decoder = Bitmap24 (*)(std::string_view);
  const std::tuple<Decoder, std::string, std::string> cases[] = {
      {DecodeBMP, Patched(bmp, 18, static_cast<uint32_t>(-4)), "size -4 x 4"},
      {DecodeBMP, Patched(bmp, 22, 0), "size 4 x 0"},
      {DecodeBMP, Patched(bmp, 22, 0x80000000u), "too large"},
      {DecodeBMP, Patched(Patched(bmp, 18, 30000), 22, 30000), "too large"},  // 900 megapixels in a few bytes
      {DecodeBMP, Patched(Patched(bmp, 18, 40000), 22, 1), "too large"},      // beyond metafile coordinates
      {DecodeBMP, Patched(bmp, 22, 5), "truncated"},
      {DecodeBMP, Patched(bmp, 28, 16), "16 bits"},
      {DecodeBMP, Patched(EncodeBMP(Pattern(4, 4, 1, 256)), 30, 1), "compression 1"},
      {DecodeBMP, Patched(bmp, 10, 0xFFFFFFF0u), "truncated"},
      {DecodeBMP, "BM", "Invalid BMP"},
      {DecodeBMP, bmp.substr(0, 30), "Invalid BMP"},
      {DecodeBMP, "PK" + bmp.substr(2), "Invalid BMP"},
      {DecodePNG, png.substr(0, png.size() / 2), "Invalid PNG picture"},
      {DecodePNG, png.substr(0, 20), "Invalid PNG picture"},
      {DecodePNG, "", "Invalid PNG picture"},
      {DecodePNG, corrupt_png, "Invalid PNG picture"},
      {DecodeJPEG, jpeg.substr(0, jpeg.size() / 2), "Premature end"},
      {DecodeJPEG, jpeg.substr(0, jpeg.size() / 2) + "\xFF\xD9", "premature end of data segment"},
      {DecodeJPEG, jpeg.substr(0, 100), "Invalid JPEG picture"},
      {DecodeJPEG, "", "Invalid JPEG picture"},
      {DecodeJPEG, "\xFF\xD8\xFF\xE0 not a jpeg", "Invalid JPEG picture"},
      {DecodeJPEG, huge_jpeg,
       "Picture of 20000 x 20000 pixels is too large (at most 32767 pixels a side and 50000000 pixels in all)"}};
  for (const auto& [decode, file, message] : cases) {
    EXPECT_NE(FailureOf([&, decode = decode, &file = file] { decode(file); }).find(message), std::string::npos) << message;
  }
}

uint32_t LE(const std::string& bytes, size_t offset, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
  return value;
}

TEST(PictureMetafile, WriterDrawsTheBitmapAtItsSizeFromTheStreamsPosition) {
  const Bitmap24 bitmap = DecodeBMP(EncodeBMP(Pattern(13, 7)));
  MemoryStream stream(std::string(1000, 'z'));
  stream.SetPosition(10);  // overwritten from there, growing only when it must
  WritePlaceableMetafile(bitmap, stream);
  const std::string file = stream.Bytes().substr(10, stream.Position() - 10);
  EXPECT_EQ(stream.Bytes(), std::string(10, 'z') + file + std::string(990 - file.size(), 'z'));
  MemoryStream across(std::string(100, 'z'));
  across.SetPosition(60);
  WritePlaceableMetafile(bitmap, across);
  EXPECT_EQ(across.Bytes(), std::string(60, 'z') + file);

  // Placeable header: key, handle, box of the pixel size at 96 units per inch, checksum.
  uint32_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= LE(file, i, 2);
  const uint32_t header[] = {kPlaceableKey & 0xFFFF, kPlaceableKey >> 16, 0, 0, 0, 13, 7, 96, 0, 0, checksum};
  for (size_t i = 0; i < 11; ++i) EXPECT_EQ(LE(file, 2 * i, 2), header[i]) << "word " << i;
  // Metafile header: memory metafile of 9 words, version 3, size of all after the placeable header.
  const size_t h = kPlaceableHeaderSize;
  EXPECT_EQ(LE(file, h, 4), 0x00090001u);
  EXPECT_EQ(LE(file, h + 4, 2), 0x0300u);
  EXPECT_EQ(2 * size_t{LE(file, h + 6, 4)}, file.size() - h);
  // Records: window origin, window extent (height, width), the bitmap, the end.
  std::vector<std::pair<size_t, uint32_t>> records;  // offset, size in words
  for (size_t at = h + kMetafileHeaderSize; at < file.size(); at += 2 * size_t{records.back().second}) {
    records.emplace_back(at, LE(file, at, 4));
    ASSERT_GE(records.back().second, 3u);
  }
  ASSERT_EQ(records.size(), 4u);
  const uint16_t functions[] = {kMetaSetWindowOrg, kMetaSetWindowExt, kMetaStretchDIB, kMetaEOF};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(LE(file, records[i].first + 4, 2), functions[i]) << i;
  EXPECT_EQ(LE(file, records[1].first + 6, 4), 13u << 16 | 7u);
  EXPECT_EQ(LE(file, h + 12, 4), records[2].second) << "largest record";
  const size_t p = records[2].first + 6;
  EXPECT_EQ(LE(file, p, 4), kRopSourceCopy);
  const uint32_t parameters[] = {0, 7, 13, 0, 0, 7, 13, 0, 0};  // usage, source, destination
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(LE(file, p + 4 + 2 * i, 2), parameters[i]) << "parameter " << i;
  const size_t info = p + 22;  // a bottom-up 24-bit DIB of 13 x 7, rows of 40 bytes
  for (auto [offset, value] : {std::pair{0, 40u}, {4, 13u}, {8, 7u}, {16, 0u}, {20, 280u}}) {
    EXPECT_EQ(LE(file, info + offset, 4), value);
  }
  EXPECT_EQ(LE(file, info + 14, 2), 24u);
  EXPECT_EQ(file.substr(info + 40), std::string(bitmap.pixels.begin(), bitmap.pixels.end()) + std::string(kMetafileTail));
  EXPECT_EQ(ReadPlaceableMetafile(file)->width * 100 + ReadPlaceableMetafile(file)->height, 1307);
}

TEST(PictureMetafile, ReaderTakesThePixelSizeFromTheBoxAndRefusesTheRest) {
  const auto size = [](const std::string& file) {
    const std::optional<MetafileSize> s = ReadPlaceableMetafile(file);
    return s ? std::to_string(s->width) + "x" + std::to_string(s->height) : "none";
  };
  EXPECT_EQ(size(MakePlaceableMetafile(1440, 720, 1440, 18)), "96x48");
  EXPECT_EQ(size(MakePlaceableMetafile(100, 5, 1000, 18)), "10x0");  // 9.6 and 0.48 pixels
  const std::string good = MakePlaceableMetafile(96, 96, 96, 18);
  // Key, inch, type, header words, stated size below the header's 9 words.
  for (const auto& [at, value] : {std::pair<size_t, char>{0, 0}, {14, 0}, {22, 7}, {24, 8}, {28, 4}}) {
    std::string bad = good;
    bad[at] = value;
    bad[15] = at == 14 ? 0 : bad[15];
    EXPECT_EQ(size(bad), "none") << at;
  }
  for (size_t length : {39, 22, 0}) EXPECT_EQ(size(good.substr(0, length)), "none") << length;
  for (const auto& [numerator, rounded] :
       {std::pair<int64_t, int64_t>{635, 318}, {1905, 952}, {5, 2}, {7, 4}, {-5, -2}, {-7, -4}}) {
    EXPECT_EQ(RoundDivHalfEven(numerator, 2), rounded) << numerator;
  }
  EXPECT_EQ(RoundDivHalfEven(254000, 96), 2646);
}

}  // namespace
}  // namespace qil
