// The items of a request as modules receive them, and the number formats pages show.
#include "base/UrlText.h"

#include <gtest/gtest.h>

#include "base/Convert.h"
#include "base/StringList.h"

namespace qil {
namespace {

TEST(UrlText, QueriesSplitIntoItemsAsWritten) {
  using V = std::vector<std::string>;
  const std::pair<std::string, V> cases[] = {{"/mathlist.stmp?start=10&x=a?b", {"/mathlist.stmp", "start=10", "x=a?b"}},
                                             {"", {}}, {"a&&b", {"a", "", "b"}}, {"?x", {"", "x"}}, {"p?a&", {"p", "a"}},
                                             {"p?a=%20&b#frag&c?d", {"p", "a=%20", "b", "#frag&c?d"}}, {"p#", {"p", "#"}}};
  for (const auto& [text, items] : cases) {
    StringList list;
    list.Add("stale");
    SplitQuery(text, list);
    V got;
    for (int i = 0; i < list.Count(); ++i) got.push_back(list[i]);
    EXPECT_EQ(got, items) << text;
  }
  std::string many = "/m.stmp?";
  for (int i = 0; i < 5000; ++i) many += "k" + std::to_string(i) + "=v&";
  StringList list;
  SplitQuery(many, list);
  EXPECT_EQ(std::to_string(list.Count()) + " " + list[5000], "5001 k4999=v");
}

TEST(UrlText, NumbersAsPagesShowThem) {
  const std::pair<int64_t, std::string> thousands[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"},
                                                       {-1234, "-1,234"}, {INT32_MIN, "-2,147,483,648"}};
  for (const auto& [n, text] : thousands) EXPECT_EQ(FormatThousands(n), text);
  EXPECT_EQ(FormatZeroPadded("%6d", 123) + FormatZeroPadded("%6d", 0) + FormatZeroPadded("%6d", 1234567), "0001230000001234567");
}

}  // namespace
}  // namespace qil
