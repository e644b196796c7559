// The metafile writer, checked by reading its output back record by record,
// and the reader of placeable metafiles.
#include <gtest/gtest.h>

#include <vector>

#include "PictureTestFiles.h"
#include "base/MemoryStream.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

uint32_t LE(const std::string& bytes, size_t offset, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(offset + i));
  return value;
}

struct Record {
  size_t offset;  // of the record in the file
  uint32_t words;
  uint16_t function;
};

// Walks the records after both headers; fails the test when a size runs past the end.
std::vector<Record> WalkRecords(const std::string& file) {
  std::vector<Record> records;
  size_t pos = kPlaceableHeaderSize + kMetafileHeaderSize;
  while (pos < file.size()) {
    Record r{pos, LE(file, pos, 4), static_cast<uint16_t>(LE(file, pos + 4, 2))};
    records.push_back(r);
    EXPECT_GE(r.words, 3u);
    if (r.words < 3 || pos + 2 * static_cast<size_t>(r.words) > file.size()) {
      ADD_FAILURE() << "record at " << pos << " runs past the end";
      break;
    }
    pos += 2 * static_cast<size_t>(r.words);
  }
  return records;
}

TEST(PictureMetafile, WriterOutputReadsBackAsTheBitmapDrawnAtItsSize) {
  const Bitmap24 bitmap = DecodeBMP(testfiles::EncodeBMP(13, 7, 24));
  MemoryStream stream;
  stream.Write("xy");  // the writer appends at the position
  WritePlaceableMetafile(bitmap, stream);
  const std::string file = stream.Bytes().substr(2);

  // Placeable header: key, box of the pixel size, 96 units per inch, checksum.
  EXPECT_EQ(LE(file, 0, 4), kPlaceableKey);
  EXPECT_EQ(LE(file, 6, 2), 0u);
  EXPECT_EQ(LE(file, 8, 2), 0u);
  EXPECT_EQ(LE(file, 10, 2), 13u);
  EXPECT_EQ(LE(file, 12, 2), 7u);
  EXPECT_EQ(LE(file, 14, 2), 96u);
  uint32_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= LE(file, i, 2);
  EXPECT_EQ(LE(file, 20, 2), checksum);

  // Metafile header: type, 9 words, size in words of everything after the placeable header.
  const size_t h = kPlaceableHeaderSize;
  EXPECT_EQ(LE(file, h, 2), 1u);
  EXPECT_EQ(LE(file, h + 2, 2), 9u);
  EXPECT_EQ(LE(file, h + 4, 2), 0x0300u);
  EXPECT_EQ(2 * static_cast<size_t>(LE(file, h + 6, 4)), file.size() - h);

  const std::vector<Record> records = WalkRecords(file);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].function, kMetaSetWindowOrg);
  EXPECT_EQ(records[1].function, kMetaSetWindowExt);
  EXPECT_EQ(LE(file, records[1].offset + 6, 2), 7u);  // extent: height, then width
  EXPECT_EQ(LE(file, records[1].offset + 8, 2), 13u);
  EXPECT_EQ(records[3].function, kMetaEOF);
  EXPECT_EQ(records[3].words, 3u);
  EXPECT_EQ(records[3].offset + 6, file.size());

  const Record& dib = records[2];
  EXPECT_EQ(dib.function, kMetaStretchDIB);
  EXPECT_EQ(LE(file, h + 12, 4), dib.words) << "largest record";
  const size_t p = dib.offset + 6;
  EXPECT_EQ(LE(file, p, 4), kRopSourceCopy);
  const uint32_t expected_params[] = {0, 7, 13, 0, 0, 7, 13, 0, 0};  // usage, source, destination
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(LE(file, p + 4 + 2 * i, 2), expected_params[i]) << "parameter " << i;
  const size_t info = p + 22;
  EXPECT_EQ(LE(file, info, 4), 40u);
  EXPECT_EQ(LE(file, info + 4, 4), 13u);
  EXPECT_EQ(LE(file, info + 8, 4), 7u) << "positive height: bottom-up rows";
  EXPECT_EQ(LE(file, info + 14, 2), 24u);
  EXPECT_EQ(LE(file, info + 16, 4), 0u);
  const size_t stride = 40;  // 13 * 3 = 39, padded to 40
  EXPECT_EQ(LE(file, info + 20, 4), stride * 7);
  EXPECT_EQ(dib.offset + 2 * dib.words, info + 40 + stride * 7);

  // The first pixel of the DIB is the bottom-left pixel of the picture.
  const testfiles::Rgb bottom_left = testfiles::PatternColor(0, 6);
  EXPECT_EQ(static_cast<uint8_t>(file[info + 40]), bottom_left.b);
  EXPECT_EQ(static_cast<uint8_t>(file[info + 41]), bottom_left.g);
  EXPECT_EQ(static_cast<uint8_t>(file[info + 42]), bottom_left.r);
  EXPECT_EQ(file.substr(info + 40, stride * 7), std::string(bitmap.pixels.begin(), bitmap.pixels.end()));

  MetafileSize size;
  ASSERT_TRUE(ReadPlaceableMetafile(file, size));
  EXPECT_EQ(size.width, 13);
  EXPECT_EQ(size.height, 7);
}

TEST(PictureMetafile, WriterOverwritesFromThePositionAndGrowsOnlyWhenItMust) {
  const Bitmap24 bitmap = DecodeBMP(testfiles::EncodeBMP(2, 2, 24));
  MemoryStream alone;
  WritePlaceableMetafile(bitmap, alone);
  const std::string metafile = alone.Bytes();
  ASSERT_EQ(metafile.size(), 22u + 18 + 10 + 10 + 28 + 40 + 2 * 8 + 6);
  EXPECT_EQ(alone.Position(), metafile.size());

  MemoryStream inside(std::string(1000, 'z'));
  inside.SetPosition(10);
  WritePlaceableMetafile(bitmap, inside);
  EXPECT_EQ(inside.Position(), 10 + metafile.size());
  EXPECT_EQ(inside.Bytes(), std::string(10, 'z') + metafile + std::string(1000 - 10 - metafile.size(), 'z'));

  MemoryStream across(std::string(100, 'z'));
  across.SetPosition(60);
  WritePlaceableMetafile(bitmap, across);
  EXPECT_EQ(across.Bytes(), std::string(60, 'z') + metafile);
}

TEST(PictureMetafile, ReaderTakesThePixelSizeFromTheBoxAndItsInch) {
  MetafileSize size;
  ASSERT_TRUE(ReadPlaceableMetafile(testfiles::MakePlaceableMetafile(1440, 720, 1440, 18), size));
  EXPECT_EQ(size.width, 96);
  EXPECT_EQ(size.height, 48);
  // 100 units at 1000 per inch: 9.6 pixels, 9.6 rounds to 10; 5 units: 0.48 rounds to 0.
  ASSERT_TRUE(ReadPlaceableMetafile(testfiles::MakePlaceableMetafile(100, 5, 1000, 18), size));
  EXPECT_EQ(size.width, 10);
  EXPECT_EQ(size.height, 0);
}

TEST(PictureMetafile, ReaderRefusesWhatIsNotAPlaceableMetafile) {
  MetafileSize size;
  std::string good = testfiles::MakePlaceableMetafile(96, 96, 96, 18);
  ASSERT_TRUE(ReadPlaceableMetafile(good, size));

  std::string bad_key = good;
  bad_key[0] = 0;
  EXPECT_FALSE(ReadPlaceableMetafile(bad_key, size));
  EXPECT_FALSE(ReadPlaceableMetafile(good.substr(0, 39), size)) << "shorter than its two headers";
  EXPECT_FALSE(ReadPlaceableMetafile(good.substr(0, 22), size));
  EXPECT_FALSE(ReadPlaceableMetafile("", size));

  std::string no_inch = good;
  no_inch[14] = no_inch[15] = 0;
  EXPECT_FALSE(ReadPlaceableMetafile(no_inch, size));
  std::string bad_type = good;
  bad_type[22] = 7;
  EXPECT_FALSE(ReadPlaceableMetafile(bad_type, size));
  std::string bad_header_size = good;
  bad_header_size[24] = 8;
  EXPECT_FALSE(ReadPlaceableMetafile(bad_header_size, size));
  std::string stated_below_header = good;
  stated_below_header[28] = 4;  // size in words: 4, less than the 9 of the header
  EXPECT_FALSE(ReadPlaceableMetafile(stated_below_header, size));
}

TEST(PictureMetafile, RoundsHalvesToEven) {
  EXPECT_EQ(RoundDivHalfEven(635, 2), 318);   // 317.5
  EXPECT_EQ(RoundDivHalfEven(1905, 2), 952);  // 952.5
  EXPECT_EQ(RoundDivHalfEven(5, 2), 2);
  EXPECT_EQ(RoundDivHalfEven(7, 2), 4);
  EXPECT_EQ(RoundDivHalfEven(254000, 96), 2646);
  EXPECT_EQ(RoundDivHalfEven(-5, 2), -2);
  EXPECT_EQ(RoundDivHalfEven(-7, 2), -4);
  EXPECT_EQ(RoundDivHalfEven(0, 96), 0);
}

}  // namespace
}  // namespace qil
