#include "base/StringList.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

std::vector<std::string> Lines(const StringList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

using V = std::vector<std::string>;

TEST(StringList, TextSplitsAtEveryLineEndAndJoinsWithCrLf) {
  StringList list;
  list.SetText("a\r\nb\nc\rd\r\n");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n");

  list.SetText("x\n\ny");  // an empty line in the middle stays
  EXPECT_EQ(Lines(list), (V{"x", "", "y"}));
  list.SetText(std::string("one\ntwo\0three", 13));  // NUL ends the text
  EXPECT_EQ(Lines(list), (V{"one", "two"}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), "");
}

TEST(StringList, LookupsIgnoreCaseUnlessAskedNotTo) {
  StringList list;
  list.Add("Alpha=1");
  list.Add("beta=2=3");
  list.Add("noequals");
  EXPECT_EQ(list.IndexOf("ALPHA=1"), 0);
  EXPECT_EQ(list.IndexOfName("BETA"), 1);
  EXPECT_EQ(list.Value("beta"), "2=3");  // the name ends at the first "="
  EXPECT_EQ(list.Value("noequals"), "");
  EXPECT_EQ(list.Value("missing"), "");
  EXPECT_EQ(list.Name(2), "");
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("ALPHA=1"), -1);
  EXPECT_EQ(list.IndexOfName("alpha"), -1);
}

TEST(StringList, SetValueReplacesAppendsAndDeletes) {
  StringList list;
  list.SetValue("k", "1");
  list.SetValue("K", "2");
  EXPECT_EQ(Lines(list), (V{"K=2"}));  // the name as given this time
  list.SetValue("other", "x");
  list.SetValue("k", "");
  EXPECT_EQ(Lines(list), (V{"other=x"}));
}

TEST(StringList, SortedListInsertsInOrderAndIgnoresDuplicates) {
  StringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add("pear"), 0);
  EXPECT_EQ(list.Add("Apple"), 0);
  EXPECT_EQ(list.Add("banana"), 1);
  EXPECT_EQ(list.Add("APPLE"), 0);  // equal ignoring case: not added
  EXPECT_EQ(Lines(list), (V{"Apple", "banana", "pear"}));
  int index = -1;
  EXPECT_TRUE(list.Find("PEAR", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find("cherry", index));
  EXPECT_EQ(index, 2);
  EXPECT_THROW(list.Insert(0, "x"), ListError);
  EXPECT_THROW(list.Move(0, 1), ListError);
}

TEST(StringList, TurningSortingOnKeepsObjectsWithTheirLines) {
  struct Tag : ListObject {
    explicit Tag(int v) : value(v) {}
    int value;
  };
  StringList list;
  list.Add("c", std::make_shared<Tag>(3));
  list.Add("a", std::make_shared<Tag>(1));
  list.Add("b", std::make_shared<Tag>(2));
  list.SetSorted(true);
  ASSERT_EQ(Lines(list), (V{"a", "b", "c"}));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(std::dynamic_pointer_cast<Tag>(list.Object(i))->value, i + 1);
  }
}

TEST(StringList, IndexErrorsRaiseListError) {
  StringList list;
  list.Add("only");
  EXPECT_THROW(list.Get(1), ListError);
  EXPECT_THROW(list.Get(-1), ListError);
  EXPECT_THROW(list.Delete(5), ListError);
  try {
    list.Get(7);
  } catch (const ListError& error) {
    EXPECT_EQ(error.Message(), "List index out of bounds (7)");
  }
}

TEST(StringList, MoveAndExchangeKeepObjects) {
  StringList list;
  for (const char* s : {"a", "b", "c", "d"}) list.Add(s);
  list.Move(0, 3);
  EXPECT_EQ(Lines(list), (V{"b", "c", "d", "a"}));
  list.Move(3, 0);
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d"}));
  list.Exchange(1, 2);
  EXPECT_EQ(Lines(list), (V{"a", "c", "b", "d"}));
}

TEST(CommaText, WritesQuotesOnlyWhereNeeded) {
  StringList list;
  for (const char* s : {"12", "a b", "x,y", "say \"hi\"", "", "z"}) list.Add(s);
  EXPECT_EQ(list.CommaText(), "12,\"a b\",\"x,y\",\"say \"\"hi\"\"\",,z");
  StringList single;
  single.Add("");
  EXPECT_EQ(single.CommaText(), "\"\"");
  StringList none;
  EXPECT_EQ(none.CommaText(), "");
}

TEST(CommaText, ReadsCommasBlanksAndQuotes) {
  StringList list;
  list.SetCommaText("1,2 3,,\"a b\",\"q\"\"q\",  last,");
  EXPECT_EQ(Lines(list), (V{"1", "2", "3", "", "a b", "q\"q", "last", ""}));
  list.SetCommaText("");
  EXPECT_EQ(list.Count(), 0);
  list.SetCommaText("   ");
  EXPECT_EQ(list.Count(), 0);
  list.SetCommaText("\"unterminated, still one");
  EXPECT_EQ(Lines(list), (V{"unterminated, still one"}));
}

TEST(CommaText, RoundTripsAnyItems) {
  StringList list;
  for (const char* s : {"", "plain", " lead", "tab\there", "\"", ",", "end "}) list.Add(s);
  StringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Lines(back), Lines(list));
}

TEST(StringList, LoadFromStreamReadsFromThePosition) {
  MemoryStream stream(std::string("skip\r\nkeep\r\nme"));
  stream.SetPosition(6);
  StringList list;
  list.LoadFromStream(stream);
  EXPECT_EQ(Lines(list), (V{"keep", "me"}));
  MemoryStream out;
  list.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), "keep\r\nme\r\n");
}

}  // namespace
}  // namespace qil
