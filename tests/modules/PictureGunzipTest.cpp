// Inflation of gzip members: header flags, and refusal of lying or broken input.
#include <gtest/gtest.h>

#include "PictureTestFiles.h"
#include "base/MemoryStream.h"
#include "picture/Gunzip.h"

namespace qil {
namespace {

std::string SomeData(size_t size) {
  std::string data;
  for (size_t i = 0; i < size; ++i) data.push_back(static_cast<char>((i * 31 + i / 7) & 0xFF));
  return data;
}

std::string Gunzip(const std::string& member) {
  MemoryStream source(member), target;
  GunzipToStream(source, target);
  EXPECT_EQ(target.Position(), 0u);
  return target.Bytes();
}

// The message of the DecompressionError raised, or "" when the member inflates.
std::string FailureOf(const std::string& member) {
  MemoryStream source(member), target("untouched");
  try {
    GunzipToStream(source, target);
  } catch (const DecompressionError& e) {
    EXPECT_EQ(target.Bytes(), "untouched") << "the target changes only on success";
    return e.Message();
  }
  return "";
}

TEST(PictureGunzip, InflatesWithEveryHeaderFlagAndIgnoresTheCrc) {
  const std::string data = SomeData(5000);
  EXPECT_EQ(Gunzip(testfiles::Gzip(data)), data);
  testfiles::GzipOptions all;
  all.name = "picture.wmf";
  all.comment = "drawn by hand";
  all.extra = std::string("AB\x04\x00wxyz", 8);
  all.header_crc = true;
  all.wrong_crc = true;
  EXPECT_EQ(Gunzip(testfiles::Gzip(data, all)), data);
  EXPECT_EQ(Gunzip(testfiles::Gzip("")), "");
}

TEST(PictureGunzip, ReadsTheWholeSourceWhateverItsPosition) {
  const std::string data = SomeData(100);
  MemoryStream source(testfiles::Gzip(data)), target;
  source.SetPosition(30);
  GunzipToStream(source, target);
  EXPECT_EQ(target.Bytes(), data);
}

TEST(PictureGunzip, RefusesBadMagicAndBrokenHeaders) {
  const std::string member = testfiles::Gzip(SomeData(300));
  EXPECT_EQ(FailureOf("PK" + member.substr(2)), "Bad gzip magic");
  EXPECT_EQ(FailureOf(""), "Bad gzip magic");
  EXPECT_EQ(FailureOf("\x1f"), "Bad gzip magic");
  EXPECT_EQ(FailureOf(member.substr(0, 12)), "Gzip header is truncated");

  // FEXTRA whose length runs past the data.
  std::string long_extra = "\x1f\x8b\x08\x04" + std::string(6, '\0') + "\xff\xff" + "abc";
  long_extra += std::string("\0\0\0\0\3\0\0\0", 8);
  EXPECT_EQ(FailureOf(long_extra), "Gzip header is truncated");

  // FNAME without its terminating zero.
  std::string endless_name = "\x1f\x8b\x08\x08" + std::string(6, '\0') + "name-without-end";
  endless_name += std::string("\1\2\3\4\5\0\0\0", 8);
  EXPECT_EQ(FailureOf(endless_name), "Gzip header is truncated");
}

TEST(PictureGunzip, RefusesLyingSizesWithoutAllocatingThem) {
  const std::string data = SomeData(1000);
  testfiles::GzipOptions four_gigabytes;
  four_gigabytes.stated_size = 0xFFFFFFFFll;
  EXPECT_NE(FailureOf(testfiles::Gzip(data, four_gigabytes)).find("more than the limit"), std::string::npos);

  testfiles::GzipOptions just_over_limit;
  just_over_limit.stated_size = static_cast<int64_t>(kMaxGunzipSize) + 1;
  EXPECT_NE(FailureOf(testfiles::Gzip(data, just_over_limit)).find("more than the limit"), std::string::npos);

  testfiles::GzipOptions too_small;
  too_small.stated_size = 10;
  EXPECT_EQ(FailureOf(testfiles::Gzip(data, too_small)), "Gzip data inflates to more than its stated size 10");
  too_small.stated_size = 999;
  EXPECT_NE(FailureOf(testfiles::Gzip(data, too_small)), "");

  testfiles::GzipOptions too_large;  // the stream ends first: the target holds what was inflated
  too_large.stated_size = 4000;
  EXPECT_EQ(Gunzip(testfiles::Gzip(data, too_large)), data);
}

TEST(PictureGunzip, RefusesTruncatedOrCorruptDeflateData) {
  const std::string member = testfiles::Gzip(SomeData(20000));
  // Cut in the middle, but keep a trailer so the size is read from plausible bytes.
  const std::string cut = member.substr(0, member.size() / 2) + member.substr(member.size() - 8);
  EXPECT_EQ(FailureOf(cut), "Gzip data is truncated");
  std::string corrupt = member;
  corrupt[10] = static_cast<char>(0xFF);  // an invalid block type
  EXPECT_NE(FailureOf(corrupt).find("Corrupt gzip data"), std::string::npos);
}

}  // namespace
}  // namespace qil
