#include "base/StringList.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

using V = std::vector<std::string>;

V Lines(const StringList& list) {
  V out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

TEST(StringList, TextSplitsAtEveryLineEndAndJoinsWithCrLf) {
  StringList list;
  list.SetText(std::string("a\r\nb\nc\rd\r\n\r\ne\0three", 18));  // NUL ends the text
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d", "", "e"}));
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  MemoryStream stream(std::string("skip\r\nkeep\r\nme"));
  stream.SetPosition(6);  // a stream is read from its position
  list.LoadFromStream(stream);
  EXPECT_EQ(Lines(list), (V{"keep", "me"}));
}

TEST(StringList, NamesAndValuesIgnoreCaseUnlessAskedNotTo) {
  StringList list;
  list.SetCommaText("Alpha=1,beta=2=3,noequals");
  EXPECT_EQ(list.Value("beta"), "2=3");  // the name ends at the first "="
  EXPECT_EQ(list.Value("noequals") + list.Value("missing") + list.Name(2), "");
  list.SetValue("ALPHA", "9");  // replaces, with the name as given this time
  list.SetValue("other", "x");  // appends
  list.SetValue("beta", "");    // deletes
  EXPECT_EQ(Lines(list), (V{"ALPHA=9", "noequals", "other=x"}));
  EXPECT_EQ(list.IndexOf("alpha=9"), 0);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("alpha=9"), -1);
}

TEST(StringList, MovesAndSortingKeepObjectsAndSortedListsRefuseMoves) {
  struct Tag : ListObject {
    explicit Tag(std::string v) : value(std::move(v)) {}
    std::string value;
  };
  StringList list;
  for (const char* s : {"pear", "b", "Apple", "d"}) list.Add(s, std::make_shared<Tag>(s));
  list.Move(0, 3);
  EXPECT_EQ(Lines(list), (V{"b", "Apple", "d", "pear"}));
  list.Move(3, 0);
  list.SetSorted(true);
  EXPECT_EQ(list.Add("banana"), 2);
  EXPECT_EQ(list.Add("APPLE"), 0);  // equal ignoring case: not added
  ASSERT_EQ(Lines(list), (V{"Apple", "b", "banana", "d", "pear"}));
  for (int i : {0, 1, 3, 4}) EXPECT_EQ(std::dynamic_pointer_cast<Tag>(list.Object(i))->value, list[i]);
  int index = -1;
  EXPECT_TRUE(list.Find("PEAR", index));
  EXPECT_EQ(index, 4);
  EXPECT_FALSE(list.Find("cherry", index));
  EXPECT_EQ(index, 3);  // where it would go
  EXPECT_THROW(list.Insert(0, "x"), ListError);
  EXPECT_THROW(list.Move(0, 1), ListError);
  EXPECT_THROW(list.Get(-1), ListError);
  EXPECT_THROW(list.Delete(5), ListError);
  try {
    list.Get(7);
    ADD_FAILURE() << "no exception";
  } catch (const ListError& error) {
    EXPECT_EQ(error.Message(), "List index out of bounds (7)");
  }
}

TEST(StringList, CommaTextQuotesOnlyWhereNeededAndReadsItBack) {
  StringList list;
  for (const char* s : {"12", "a b", "x,y", "say \"hi\"", "", "tab\there", "z"}) list.Add(s);
  EXPECT_EQ(list.CommaText(), "12,\"a b\",\"x,y\",\"say \"\"hi\"\"\",,\"tab\there\",z");
  StringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Lines(back), Lines(list));
  back.SetCommaText("1,2 3,,\"q\"\"q\",  last,");
  EXPECT_EQ(Lines(back), (V{"1", "2", "3", "", "q\"q", "last", ""}));
  back.SetCommaText("\"unterminated, still one");
  EXPECT_EQ(Lines(back), (V{"unterminated, still one"}));
  back.SetCommaText("   ");
  EXPECT_EQ(back.CommaText(), "");
  back.Add("");
  EXPECT_EQ(back.CommaText(), "\"\"");
}

}  // namespace
}  // namespace qil
