// The disc that the build packed (math.dat in the build directory): the engine's
// qilcd reads its database, and it carries the fonts of the font list, the lists,
// the title pages and the artwork.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Problem.h"

namespace qil::disc {
namespace {

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// The records of a TrueType font's name table as (name id, text). Unicode and
// Windows records are UTF-16 and keep their ASCII characters ('?' for others);
// Macintosh records are taken byte for byte. Empty when the font is cut short.
std::vector<std::pair<unsigned, std::string>> FontNames(const std::string& font) {
  bool cut = false;
  auto u16 = [&](size_t at) -> unsigned {
    if (at + 2 > font.size()) {
      cut = true;
      return 0;
    }
    return unsigned{uint8_t(font[at])} << 8 | uint8_t(font[at + 1]);
  };
  size_t table = 0;
  for (size_t i = 0, tables = u16(4); i < tables && 12 + 16 * (i + 1) <= font.size() && table == 0; ++i) {
    const size_t entry = 12 + 16 * i;
    if (font.compare(entry, 4, "name") == 0) table = size_t{u16(entry + 8)} << 16 | u16(entry + 10);
  }
  std::vector<std::pair<unsigned, std::string>> names;
  if (table == 0) return names;
  const size_t count = u16(table + 2), strings = table + u16(table + 4);
  for (size_t i = 0; i < count; ++i) {
    const size_t record = table + 6 + 12 * i;
    const unsigned platform = u16(record), id = u16(record + 6), length = u16(record + 8);
    const size_t at = strings + u16(record + 10);
    if (cut || at + length > font.size()) return {};
    std::string text;
    if (platform == 1) {
      text = font.substr(at, length);
    } else {
      for (size_t c = 0; c + 1 < length; c += 2) text += u16(at + c) < 0x80 ? char(u16(at + c)) : '?';
    }
    names.emplace_back(id, text);
  }
  return names;
}

class DemoDisc : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* qilcd = std::getenv("QILCD");
    ASSERT_NE(qilcd, nullptr) << "QILCD is not set";
    qilcd_ = qilcd;
    disc_ = QIL_DEMO_DISC;
  }
  std::string Qilcd(const std::string& args) { return Capture("'" + qilcd_ + "' " + args + " 2>&1"); }

  std::string qilcd_, disc_;
};

TEST_F(DemoDisc, DatabaseHoldsEveryTopicWithItsCounts) {
  std::string db = Qilcd("db '" + disc_ + "'");
  int total = 0;
  for (const Topic& t : Topics()) {
    size_t at = db.find("\n" + t.code + " ");
    ASSERT_NE(at, std::string::npos) << t.code << " missing in:\n" << db;
    std::istringstream line(db.substr(at + 1, db.find('\n', at + 1) - at - 1));
    std::string code;
    int count = 0, levels[4] = {0, 0, 0, 0};
    line >> code >> count >> levels[0] >> levels[1] >> levels[2] >> levels[3];
    EXPECT_EQ(count, t.counts[0] + t.counts[1] + t.counts[2] + t.counts[3]) << t.code;
    for (int l = 0; l < 4; ++l) EXPECT_EQ(levels[l], t.counts[l]) << t.code << " level " << l + 1;
    total += count;
  }
  EXPECT_NE(db.find(std::to_string(total) + " bundles checked, 0 damaged"), std::string::npos) << db;
}

TEST_F(DemoDisc, CarriesFontsListsPagesAndArtwork) {
  std::string list = Qilcd("ls '" + disc_ + "'");
  for (const char* name : {"mt4fonts/mt4fonts.txt", "mt4fonts/DejaVuSans.ttf", "db/endpoints.txt", "db/menuid.txt",
                           "topics/B01.htm", "about.jpg", "images/szamok_problem/nv.jpg", "images/szamok/n9.jpg"}) {
    EXPECT_NE(list.find(std::string("\t") + name + "\n"), std::string::npos) << name;
  }
  EXPECT_EQ(list.find("\tproblems/"), std::string::npos) << "the bank is the data region, not entries";
  std::string fonts = Qilcd("cat '" + disc_ + "' mt4fonts/mt4fonts.txt");
  std::istringstream names(fonts);
  for (std::string name; std::getline(names, name);) {
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (name.empty()) continue;
    EXPECT_NE(list.find("\tmt4fonts/" + name + "\n"), std::string::npos) << name << " is listed but not packed";
  }
}

// OrvellaHand.ttf is the build's renamed copy of a DejaVu face: a family that no
// package installs, which the welcome page names without @font-face, so only the
// fonts the disc ships can draw that line.
TEST_F(DemoDisc, ShipsAFamilyOfItsOwnThatTheWelcomePageNames) {
  const std::string font = Capture("'" + qilcd_ + "' cat '" + disc_ + "' mt4fonts/OrvellaHand.ttf 2>/dev/null");
  ASSERT_TRUE(font.starts_with(std::string("\0\1\0\0", 4))) << "OrvellaHand.ttf is not a TrueType font";
  const auto names = FontNames(font);
  ASSERT_FALSE(names.empty()) << "OrvellaHand.ttf has no readable name table";
  // Each record naming the family or the face, by id, must hold the new name.
  const std::map<unsigned, std::string> expected = {{1, "Orvella Hand"}, {2, "Regular"}, {4, "Orvella Hand"},
                                                    {6, "OrvellaHand-Regular"}, {16, "Orvella Hand"}, {17, "Regular"}};
  std::set<unsigned> seen;
  for (const auto& [id, text] : names) {
    if (auto it = expected.find(id); it != expected.end()) {
      EXPECT_EQ(text, it->second) << "name " << id;
      seen.insert(id);
    }
    EXPECT_TRUE(id != 18 && id != 21 && id != 22) << "name " << id << " still names a family: " << text;
  }
  for (const auto& [id, text] : expected) EXPECT_TRUE(seen.contains(id)) << "no name " << id;

  const std::string welcome = Qilcd("cat '" + disc_ + "' welcome.html");
  EXPECT_NE(welcome.find("<p class=\"motto\" id=\"motto\">"), std::string::npos) << welcome;
  std::string css = Qilcd("cat '" + disc_ + "' disc.css");
  for (size_t open = css.find("/*"); open != std::string::npos; open = css.find("/*", open)) {
    css.erase(open, css.find("*/", open) + 2 - open);
  }
  const size_t rule = css.find("\n.motto {");
  ASSERT_NE(rule, std::string::npos) << "disc.css has no .motto rule";
  EXPECT_NE(css.substr(rule, css.find('}', rule) - rule).find("font-family: \"Orvella Hand\""), std::string::npos);
  for (size_t face = css.find("@font-face"); face != std::string::npos; face = css.find("@font-face", face + 1)) {
    EXPECT_EQ(css.substr(face, css.find('}', face) - face).find("Orvella"), std::string::npos)
        << "the family must reach the page through the system's fonts, not @font-face";
  }
}

}  // namespace
}  // namespace qil::disc
