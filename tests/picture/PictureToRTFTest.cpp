// PictureToRTF and HexLines: the lines of a picture group, the choice of
// format by name and signature, gzip inflation of ".wmz" pictures, and
// pictures that cannot be read.
#include "picture/PictureToRTF.h"

#include <gtest/gtest.h>

#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "pictures/PictureFiles.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil {
namespace {

using namespace picturefiles;

StringList Convert(const std::string& file, const std::string& name, const std::string& before = "") {
  MemoryStream G(file);
  StringList lines;
  if (!before.empty()) lines.Add(before);
  PictureToRTF(G, lines, name);
  return lines;
}

std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) out += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
  return out;
}

// The hex lines of a group from line first on, joined, after checking that
// all but the last hold 40 bytes.
std::string GroupHex(const StringList& lines, int first = 1) {
  std::string hex;
  for (int i = first; i + 1 < lines.Count(); ++i) {
    EXPECT_TRUE(i + 2 < lines.Count() ? lines[i].size() == 80u : lines[i].size() <= 80u) << i << " of " << lines.Count();
    hex += lines[i];
  }
  return hex;
}

std::string Header(int mmw, int mmh, int w, int h) {
  return "\r\n\\par{\\pict\\wmetafile8\\picw" + std::to_string(mmw) + "\\pich" + std::to_string(mmh) + "\\picwgoal" +
         std::to_string(w) + "\\pichgoal" + std::to_string(h);
}

TEST(PictureToRTF, RasterPictureIsTheHexOfItsMetafileUnderTheSizeHeader) {
  const StringList jpeg = Convert(EncodeJPEG(Pattern(100, 50)), "picture.jpg");
  EXPECT_EQ(jpeg[0], Header(2646, 1323, 1500, 750));
  EXPECT_TRUE(jpeg.Text().ends_with("\r\n}\r\n\r\n"));
  EXPECT_EQ(GroupHex(jpeg).size(), 2u * (18 + 10 + 10 + 28 + 40 + 50 * 300 + 6));
  EXPECT_EQ(Convert(EncodePNG(Pattern(12, 36)), "M_12x36.png")[0], Header(318, 952, 180, 540));  // halves to even
  // The hex comes from the metafile's pieces without assembling it: it must be
  // the written metafile's for rows with and without padding and pieces that
  // end inside a line, on a line's end, or with the end record split.
  for (const auto& [width, height] : {std::pair{1, 1}, {1, 2}, {1, 3}, {13, 7}, {40, 2}, {7, 33}}) {
    const std::string bmp = EncodeBMP(Pattern(width, height));
    MemoryStream metafile;
    WritePlaceableMetafile(DecodeBMP(bmp), metafile);
    const std::string hex = Hex(metafile.View().substr(kPlaceableHeaderSize));
    const StringList lines = Convert(bmp, "M_image1.bmp", "before");  // appended behind what is there
    EXPECT_EQ(lines[0], "before");
    EXPECT_EQ(GroupHex(lines, 2), hex) << width << " x " << height;
    EXPECT_EQ(lines.Count(), 3 + static_cast<int>((hex.size() / 2 + 39) / 40)) << width << " x " << height;
  }
}

TEST(PictureToRTF, NameAndSignatureChooseTheFormat) {
  const std::string png = EncodePNG(Pattern(5, 4)), jpeg = EncodeJPEG(Pattern(8, 8));
  const std::string as_png = Convert(png, "M_image1.png").Text();
  EXPECT_TRUE(as_png.starts_with(Header(132, 106, 75, 60)));
  for (const char* name : {"M_image1.jpg", "M_image1.gif", "M_IMAGE1.JPEG", "noextension", "M_image1.wmf"}) {
    EXPECT_EQ(Convert(png, name).Text(), as_png) << name;  // the signature wins over any name but a ".bmp" one
  }
  EXPECT_THROW(Convert(png, "M_image1.bmp"), InvalidPicture);
  EXPECT_GT(Convert(jpeg, "M_image1.JPG").Count(), 2);
  for (const char* name : {"M_image1.jpeg", "M_image1.gif", "dir.jpg\\picture", ""}) {
    EXPECT_EQ(Convert(jpeg, name).Count(), 0) << name;
  }
}

TEST(PictureToRTF, MetafilesAreEmbeddedAsTheyAreAndGzipOnesInflated) {
  const std::string wmf = MakePlaceableMetafile(1440, 720, 1440, 81), tall = MakePlaceableMetafile(96, 192, 96, 5000);
  const StringList lines = Convert(wmf, "M_image2.WMF");
  ASSERT_EQ(lines.Count(), 5);
  EXPECT_EQ(lines[0], Header(2540, 1270, 1440, 720));
  EXPECT_EQ(GroupHex(lines), Hex(std::string_view(wmf).substr(kPlaceableHeaderSize)));  // 40, 40 and 1 bytes
  EXPECT_EQ(lines[4], "}\r\n");
  GzipOptions all, overstated;
  all.name = "M_image3.wmf";
  all.comment = "drawn by hand";
  all.extra = std::string("AB\x04\x00wxyz", 8);
  all.header_crc = all.wrong_crc = true;  // the CRC is not compared
  overstated.stated_size = 8000;          // the data ends first
  for (const GzipOptions& options : {GzipOptions(), all, overstated}) {
    const StringList inflated = Convert(Gzip(tall, options), "M_image3.wmz");
    EXPECT_EQ(inflated[0], Header(2540, 5080, 1440, 2880));
    EXPECT_EQ(GroupHex(inflated), Hex(std::string_view(tall).substr(kPlaceableHeaderSize)));
  }
}

TEST(PictureToRTF, UnreadableMetafilesAreSkippedAndBadRastersRaise) {
  const std::string wmf = MakePlaceableMetafile(96, 96, 96, 20000);
  const std::string png = EncodePNG(Pattern(30, 30)), jpeg = EncodeJPEG(Pattern(30, 30));
  const std::string member = Gzip(wmf);
  std::string bad_key = wmf, corrupt = member;
  bad_key[1] = 'x';
  corrupt[10] = static_cast<char>(0xFF);  // an invalid block type
  const auto stating = [&](int64_t size) {
    GzipOptions options;
    options.stated_size = size;
    return Gzip(wmf, options);
  };
  const std::pair<std::string, std::string> skipped[] = {
      {bad_key, "bad_key.wmf"}, {wmf.substr(0, 30), "short.wmf"}, {"", "empty.wmf"}, {wmf, "not_gzip.wmz"},
      {Gzip(bad_key), "bad_key.wmz"}, {"\x1f", "magic.wmz"}, {member.substr(0, 12), "header.wmz"},
      // FEXTRA longer than the data; FNAME without its end.
      {"\x1f\x8b\x08\x04" + std::string(6, '\0') + "\xff\xff" + "abc" + std::string("\0\0\0\0\3\0\0\0", 8), "extra.wmz"},
      {"\x1f\x8b\x08\x08" + std::string(6, '\0') + "endless" + std::string("\1\2\3\4\5\0\0\0", 8), "name.wmz"},
      {stating(0xFFFFFFFFll), "four_gigabytes.wmz"}, {stating(64 << 20 | 1), "over_limit.wmz"},
      {stating(20), "understated.wmz"}, {stating(19999), "understated_a_little.wmz"}, {corrupt, "corrupt.wmz"},
      {member.substr(0, member.size() / 2) + member.substr(member.size() - 8), "truncated.wmz"}};
  for (const auto& [file, name] : skipped) EXPECT_NO_THROW(EXPECT_EQ(Convert(file, name, "kept").Text(), "kept\r\n") << name);
  const std::pair<std::string, std::string> raising[] = {
      {png.substr(0, png.size() / 2), "truncated.png"}, {jpeg.substr(0, jpeg.size() / 2), "truncated.jpg"},
      {"BM-nothing-else", "short.bmp"}, {"", "empty.jpg"}};
  for (const auto& [file, name] : raising) {
    MemoryStream G(file);
    StringList lines;
    EXPECT_THROW(PictureToRTF(G, lines, name), InvalidPicture) << name;
    EXPECT_EQ(lines.Count(), 0) << name;
  }
}

TEST(HexLines, SplitsFromThePositionWithoutMovingItAndRefusesBadArguments) {
  MemoryStream S(std::string("\x00\x01\xab\xff\x10", 5));
  S.SetPosition(1);
  StringList lines;
  HexLines(&S, &lines, 2);
  EXPECT_EQ(S.Position(), 1u);
  HexLines(&S, &lines, 128);
  for (int n : {129, 0, -5}) HexLines(&S, &lines, n);
  HexLines(nullptr, &lines, 40);
  HexLines(&S, nullptr, 40);
  for (size_t position : {5, 1000}) {
    S.SetPosition(position);
    HexLines(&S, &lines, 40);
  }
  EXPECT_EQ(lines.Text(), "01ab\r\nff10\r\n01abff10\r\n");
}

}  // namespace
}  // namespace qil
