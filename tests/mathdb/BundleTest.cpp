// The bundle parser and writer, and the digit-image helpers.
#include <gtest/gtest.h>

#include "archive/ArchiveFormat.h"
#include "mathdb/Bundle.h"
#include "mathdb/DatabaseError.h"
#include "mathdb/NumberImages.h"

namespace qil {
namespace {

std::string Word(uint32_t value) {
  std::string bytes(4, '\0');
  StoreU32LE(value, bytes.data());
  return bytes;
}

TEST(Bundle, RoundTripKeepsNamesAndBytes) {
  const std::string picture("\x89PNG\0\x01\x02", 7);
  const std::string block =
      BuildBundle("A011/0001", "format", {{"M_image1.png", picture}, {"P.htm", "<p>x</p>"}, {"S.htm", ""}});
  const ProblemBundle bundle = ProblemBundle::Parse(block);
  ASSERT_EQ(bundle.Lines().Count(), 5);
  EXPECT_EQ(bundle.Lines()[0], "A011/0001");
  ASSERT_EQ(bundle.FileCount(), 3);
  EXPECT_EQ(bundle.FileName(0), "M_image1.png");
  EXPECT_EQ(bundle.FileData(0), picture);
  std::string_view data;
  ASSERT_TRUE(bundle.FindFile("p.HTM", data));  // letter case ignored
  EXPECT_EQ(data, "<p>x</p>");
  ASSERT_TRUE(bundle.FindFile("S.htm", data));
  EXPECT_EQ(data, "");
  EXPECT_FALSE(bundle.FindFile("Q.htm", data));
}

TEST(Bundle, HeaderLinesAreNotFiles) {
  const ProblemBundle bundle = ProblemBundle::Parse(BuildBundle("P.htm", "S.htm", {}));
  EXPECT_EQ(bundle.FileCount(), 0);
  EXPECT_EQ(bundle.IndexOfFile("P.htm"), -1);
}

TEST(Bundle, HandWrittenBlockWithLfLinesAndSharedRanges) {
  // Two files pointing at the same bytes, and a range ending exactly at the block's end.
  const std::string names = "h1\nh2\nP.htm\nS.htm";
  std::string block = Word(static_cast<uint32_t>(names.size())) + names;
  const uint32_t data_at = static_cast<uint32_t>(block.size() + 16);
  block += Word(data_at) + Word(3) + Word(data_at) + Word(3) + "abc";
  const ProblemBundle bundle = ProblemBundle::Parse(block);
  ASSERT_EQ(bundle.FileCount(), 2);
  EXPECT_EQ(bundle.FileData(0), "abc");
  EXPECT_EQ(bundle.FileData(1), "abc");
}

void ExpectDamaged(const std::string& block, const std::string& why) {
  try {
    ProblemBundle::Parse(block);
    ADD_FAILURE() << "accepted a damaged block: " << why;
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find(why), std::string::npos) << error.what();
  }
}

TEST(Bundle, DamagedBlocksAreRejected) {
  ExpectDamaged("", "shorter than its length field");
  ExpectDamaged("\x05\x00", "shorter than its length field");
  ExpectDamaged(Word(100) + "h1\r\nh2", "name text (100 bytes) runs past");
  ExpectDamaged(Word(0xFFFFFFFF) + "h1\r\nh2", "runs past the end");
  ExpectDamaged(Word(2) + "h1", "fewer than two lines");
  ExpectDamaged(Word(0), "fewer than two lines");
  // Three file lines but room for one table entry only.
  const std::string names = "a\r\nb\r\nx\r\ny\r\nz";
  ExpectDamaged(Word(static_cast<uint32_t>(names.size())) + names + Word(0) + Word(0),
                "table of data ranges runs past");
  // A range reaching one byte past the block, and one whose offset + size wraps 32 bits.
  const std::string one = "a\r\nb\r\nP.htm";
  const std::string head = Word(static_cast<uint32_t>(one.size())) + one;
  const auto size = static_cast<uint32_t>(head.size() + 8);
  ExpectDamaged(head + Word(0) + Word(size + 1), "\"P.htm\" lies outside the block");
  ExpectDamaged(head + Word(0xFFFFFFF0) + Word(0x20), "\"P.htm\" lies outside the block");
}

TEST(Bundle, WriterRejectsLinesThatWouldBreakTheNameText) {
  EXPECT_THROW(BuildBundle("", "format", {}), Exception);
  EXPECT_THROW(BuildBundle("a\r\nb", "format", {}), Exception);
  EXPECT_THROW(BuildBundle("a", "b", {{"P\n.htm", "x"}}), Exception);
  EXPECT_THROW(BuildBundle("a", "b", {{std::string("P\0.htm", 6), "x"}}), Exception);
  EXPECT_THROW(BuildBundle("a", "b", {{"", "x"}}), Exception);
}

TEST(NumberImages, ProblemNumberWithSeparatorImage) {
  const std::string digit1 = "<img src=\"images/szamok_problem/n1.jpg\" width=\"8\" height=\"22\">";
  const std::string digit0 = "<img src=\"images/szamok_problem/n0.jpg\" width=\"8\" height=\"22\">";
  const std::string separator = "<img src=\"images/szamok_problem/nv.jpg\">";
  EXPECT_EQ(NumberImagesProblem(1000), digit1 + separator + digit0 + digit0 + digit0);
  EXPECT_EQ(NumberImagesProblem(0), digit0);
  EXPECT_EQ(NumberImagesProblem(1234567),
            std::string(NumberImagesProblem(1)) + separator + NumberImagesProblem(234) + separator +
                NumberImagesProblem(567));
}

TEST(NumberImages, DigitImagesSkipNonDigits) {
  const auto line = [](char digit) {
    return std::string("<img src=\"images/szamok/n") + digit + ".jpg\" width=\"14\" height=\"21\">\r\n";
  };
  EXPECT_EQ(DigitImages("12a3"), "\r\n" + line('1') + line('2') + line('3'));
  EXPECT_EQ(DigitImages(""), "\r\n");
  EXPECT_EQ(DigitImages("-9"), "\r\n" + line('9'));
}

}  // namespace
}  // namespace qil
