#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "base/Variant.h"

namespace qil {
namespace {

TEST(MemoryStream, WritesOverwriteThenGrow) {
  MemoryStream stream;
  stream.Write("hello");
  stream.SetPosition(3);
  stream.Write("PING");
  EXPECT_EQ(stream.Bytes(), "helPING");
  EXPECT_EQ(stream.Position(), 7u);
  stream.SetPosition(9);  // past the end: the gap is zero-filled
  stream.Write("!");
  EXPECT_EQ(stream.Bytes(), std::string("helPING\0\0!", 10));
}

TEST(MemoryStream, ReadsStopAtTheEnd) {
  MemoryStream stream(std::string("abcdef"));
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(stream.Read(buffer, 4), 2u);
  EXPECT_EQ(stream.Read(buffer, 4), 0u);
  stream.SetPosition(100);
  EXPECT_EQ(stream.Read(buffer, 4), 0u);
  stream.SetSize(2);
  EXPECT_EQ(stream.Position(), 2u);
  EXPECT_EQ(stream.Take(), "ab");
  EXPECT_EQ(stream.Size(), 0u);
}

TEST(Variant, TextFormsAndIntegerReading) {
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_EQ(Variant(-12).ToString(), "-12");
  EXPECT_EQ(Variant("000123").ToString(), "000123");
  EXPECT_EQ(Variant("000123").ToInteger(), 123);
  EXPECT_EQ(Variant().ToInteger(), 0);
  EXPECT_THROW(Variant("x").ToInteger(), ConvertError);
  Variant copy = Variant("a");
  Variant other = copy;
  other = Variant(5);
  EXPECT_TRUE(copy.IsString());
  EXPECT_TRUE(other.IsInteger());
}

}  // namespace
}  // namespace qil
