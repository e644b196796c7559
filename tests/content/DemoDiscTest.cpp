// The disc that the build packed (math.dat in the build directory): the engine's
// qilcd reads its database, and it carries the fonts of the font list, the lists,
// the title pages and the artwork.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

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

}  // namespace
}  // namespace qil::disc
