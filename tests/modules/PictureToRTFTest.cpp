// PictureToRTF and HexLines: the lines of a picture group, the choice of
// format, and what happens to pictures that cannot be read.
#include <gtest/gtest.h>

#include "PictureTestFiles.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "picture/Bitmap24.h"
#include "picture/Metafile.h"
#include "picture/PictureToRTF.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

StringList Convert(const std::string& file, const std::string& name) {
  MemoryStream G(file);
  StringList lines;
  PictureToRTF(G, lines, name);
  return lines;
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

// The hex lines of a group joined, after checking their length rule.
std::string GroupHex(const StringList& lines) {
  std::string hex;
  for (int i = 1; i + 1 < lines.Count(); ++i) {
    if (i + 2 < lines.Count()) {
      EXPECT_EQ(lines[i].size(), 80u) << "line " << i;
    }
    EXPECT_LE(lines[i].size(), 80u);
    hex += lines[i];
  }
  return hex;
}

// Lines of the group of a raster picture: header, hex lines of its metafile, closing line.
int RasterGroupLines(int width, int height) {
  const size_t metafile = 18 + 10 + 10 + 28 + 40 + Bitmap24::RowStride(width) * height + 6;
  return 2 + static_cast<int>((metafile + 39) / 40);
}

std::string Header(int mmw, int mmh, int w, int h) {
  return "\r\n\\par{\\pict\\wmetafile8\\picw" + std::to_string(mmw) + "\\pich" + std::to_string(mmh) + "\\picwgoal" +
         std::to_string(w) + "\\pichgoal" + std::to_string(h);
}

TEST(PictureToRTF, JpegOf100By50GivesTheDocumentedHeaderAndItsMetafile) {
  const StringList lines = Convert(testfiles::EncodeJPEG(100, 50), "picture.jpg");
  ASSERT_GE(lines.Count(), 3);
  EXPECT_EQ(lines[0], "\r\n\\par{\\pict\\wmetafile8\\picw2646\\pich1323\\picwgoal1500\\pichgoal750");
  EXPECT_EQ(lines[lines.Count() - 1], "}\r\n");
  EXPECT_EQ(lines.Text().substr(lines.Text().size() - 5), "}\r\n\r\n");

  // The hex is the metafile without its placeable header: 18 + 10 + 10 + 28 + 40
  // + 50 rows of 300 bytes + 6 bytes, starting with the metafile header.
  const std::string hex = GroupHex(lines);
  EXPECT_EQ(hex.size(), 2u * (18 + 10 + 10 + 28 + 40 + 50 * 300 + 6));
  EXPECT_EQ(hex.substr(0, 12), "010009000003");
  EXPECT_EQ(lines.Count(), RasterGroupLines(100, 50));
}

// The hex of a raster picture is made from the metafile's pieces without
// assembling it: it must be that of the metafile the writer assembles, for
// rows with and without padding and for pieces that end inside a line, on
// a line's end, or with the end record split over two lines.
TEST(PictureToRTF, RasterHexIsThatOfTheWrittenMetafile) {
  for (const auto& [width, height] : {std::pair{1, 1}, {1, 2}, {1, 3}, {13, 7}, {40, 2}, {7, 33}}) {
    const std::string bmp = testfiles::EncodeBMP(width, height, 24);
    MemoryStream metafile;
    WritePlaceableMetafile(DecodeBMP(bmp), metafile);
    const StringList lines = Convert(bmp, "M_image1.bmp");
    EXPECT_EQ(GroupHex(lines), Hex(metafile.View().substr(kPlaceableHeaderSize))) << width << " x " << height;
    EXPECT_EQ(lines.Count(), RasterGroupLines(width, height)) << width << " x " << height;
  }
}

TEST(PictureToRTF, RoundsHalfPixelSizesToEven) {
  const StringList lines = Convert(testfiles::EncodePNG(12, 36), "M_12x36.png");
  ASSERT_GE(lines.Count(), 3);
  EXPECT_EQ(lines[0], Header(318, 952, 180, 540));
}

TEST(PictureToRTF, PngSignatureDecidesForAnyExtensionButBmp) {
  const std::string png = testfiles::EncodePNG(5, 4);
  const StringList as_png = Convert(png, "M_image1.png");
  ASSERT_GE(as_png.Count(), 3);
  EXPECT_EQ(as_png[0], Header(132, 106, 75, 60));
  for (const char* name : {"M_image1.jpg", "M_image1.gif", "M_IMAGE1.JPEG", "noextension", "M_image1.wmf"}) {
    EXPECT_EQ(Convert(png, name).Text(), as_png.Text()) << name;
  }
  EXPECT_THROW(Convert(png, "M_image1.bmp"), InvalidPicture);
}

TEST(PictureToRTF, UnsupportedExtensionsAppendNothing) {
  const std::string jpeg = testfiles::EncodeJPEG(8, 8);
  EXPECT_EQ(Convert(jpeg, "M_image1.jpeg").Count(), 0);
  EXPECT_EQ(Convert(jpeg, "M_image1.JPG").Count(), RasterGroupLines(8, 8));
  EXPECT_EQ(Convert("GIF89a\x08\x00\x08\x00", "M_image1.gif").Count(), 0);
  EXPECT_EQ(Convert(jpeg, "dir.jpg\\picture").Count(), 0) << "the dot belongs to a folder";
  EXPECT_EQ(Convert(jpeg, "").Count(), 0);
}

TEST(PictureToRTF, AppendsAfterExistingLines) {
  MemoryStream G(testfiles::EncodeBMP(3, 3, 24));
  StringList lines;
  lines.Add("before");
  PictureToRTF(G, lines, "a.BMP");
  ASSERT_EQ(lines.Count(), 1 + RasterGroupLines(3, 3));
  EXPECT_EQ(lines[0], "before");
  EXPECT_EQ(lines[1], Header(79, 79, 45, 45));
}

TEST(PictureToRTF, MetafileOf81BytesGivesThreeHexLines) {
  const std::string wmf = testfiles::MakePlaceableMetafile(1440, 720, 1440, 81);
  const StringList lines = Convert(wmf, "M_image2.WMF");
  ASSERT_EQ(lines.Count(), 5);
  EXPECT_EQ(lines[0], Header(2540, 1270, 1440, 720));
  EXPECT_EQ(lines[1], Hex(std::string_view(wmf).substr(22, 40)));
  EXPECT_EQ(lines[2], Hex(std::string_view(wmf).substr(62, 40)));
  EXPECT_EQ(lines[3], Hex(std::string_view(wmf).substr(102)));
  EXPECT_EQ(lines[3].size(), 2u);
  EXPECT_EQ(lines[4], "}\r\n");
}

TEST(PictureToRTF, CompressedMetafileWithFileNameIsInflated) {
  const std::string wmf = testfiles::MakePlaceableMetafile(96, 192, 96, 100);
  testfiles::GzipOptions options;
  options.name = "M_image3.wmf";
  options.wrong_crc = true;
  const StringList lines = Convert(testfiles::Gzip(wmf, options), "M_image3.wmz");
  ASSERT_GE(lines.Count(), 3);
  EXPECT_EQ(lines[0], Header(2540, 5080, 1440, 2880));
  EXPECT_EQ(GroupHex(lines), Hex(std::string_view(wmf).substr(22)));
}

TEST(PictureToRTF, UnreadableMetafilesAreSkippedSilently) {
  const std::string wmf = testfiles::MakePlaceableMetafile(96, 96, 96, 40);
  std::string bad_key = wmf;
  bad_key[1] = 'x';
  testfiles::GzipOptions four_gigabytes;
  four_gigabytes.stated_size = 0xFFFFFFFFll;
  testfiles::GzipOptions understated;
  understated.stated_size = 20;
  const std::pair<std::string, std::string> cases[] = {
      {bad_key, "bad_key.wmf"},
      {wmf.substr(0, 30), "shorter_than_headers.wmf"},
      {"", "empty.wmf"},
      {wmf, "not_gzip.wmz"},
      {testfiles::Gzip(bad_key), "bad_key.wmz"},
      {testfiles::Gzip(wmf, four_gigabytes), "four_gigabytes.wmz"},
      {testfiles::Gzip(wmf, understated), "understated.wmz"},
      {testfiles::Gzip(wmf).substr(0, 30), "truncated.wmz"},
  };
  for (const auto& [file, name] : cases) {
    StringList lines;
    lines.Add("kept");
    MemoryStream G(file);
    EXPECT_NO_THROW(PictureToRTF(G, lines, name)) << name;
    EXPECT_EQ(lines.Text(), "kept\r\n") << name;
  }
}

TEST(PictureToRTF, UndecodableRasterPicturesRaiseAndAppendNothing) {
  const std::string png = testfiles::EncodePNG(30, 30);
  const std::string jpeg = testfiles::EncodeJPEG(30, 30);
  const std::pair<std::string, std::string> cases[] = {
      {png.substr(0, png.size() / 2), "truncated.png"},
      {jpeg.substr(0, jpeg.size() / 2), "truncated.jpg"},
      {"BM-nothing-else", "short.bmp"},
      {"", "empty.jpg"},
  };
  for (const auto& [file, name] : cases) {
    StringList lines;
    MemoryStream G(file);
    EXPECT_THROW(PictureToRTF(G, lines, name), InvalidPicture) << name;
    EXPECT_EQ(lines.Count(), 0) << name;
  }
}

TEST(HexLines, SplitsFromThePositionWithoutMovingIt) {
  MemoryStream S(std::string("\x00\x01\xab\xff\x10", 5));
  S.SetPosition(1);
  StringList lines;
  HexLines(&S, &lines, 2);
  EXPECT_EQ(lines.Text(), "01ab\r\nff10\r\n");
  EXPECT_EQ(S.Position(), 1u);

  lines.Clear();
  HexLines(&S, &lines, 128);
  EXPECT_EQ(lines.Text(), "01abff10\r\n");
}

TEST(HexLines, DoesNothingForBadArgumentsOrNoBytes) {
  MemoryStream S(std::string(300, 'a'));
  StringList lines;
  HexLines(&S, &lines, 200);
  HexLines(&S, &lines, 129);
  HexLines(&S, &lines, 0);
  HexLines(&S, &lines, -5);
  HexLines(nullptr, &lines, 40);
  HexLines(&S, nullptr, 40);
  S.SetPosition(300);
  HexLines(&S, &lines, 40);
  S.SetPosition(1000);
  HexLines(&S, &lines, 40);
  EXPECT_EQ(lines.Count(), 0);
}

}  // namespace
}  // namespace qil
