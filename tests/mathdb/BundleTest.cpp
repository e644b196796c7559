// The bundle parser and writer, the bank builder's refusals and the digit pictures of numbers.
#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "mathdb/BankFixture.h"
#include "mathdb/Bundle.h"
#include "mathdb/NumberImages.h"

namespace qil {
namespace {

std::string Word(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }  // little-endian
std::string Names(const std::string& text) { return Word(static_cast<uint32_t>(text.size())) + text; }

TEST(Bundle, RoundTripHandWrittenBlocksAndLinesTheWriterRefuses) {
  const std::string picture("\x89PNG\0\x01", 6);
  const ProblemBundle bundle =
      ProblemBundle::Parse(BuildBundle("A011/1", "format", {{"M_image1.png", picture}, {"S.htm", ""}}));
  EXPECT_EQ(bundle.FindFile("m_IMAGE1.PNG"), picture);
  EXPECT_EQ(bundle.FindFile("S.htm"), "");  // empty, but there
  EXPECT_EQ(bundle.FindFile("P.htm"), std::nullopt);
  // The two header lines are no files, even when they read like file names.
  EXPECT_EQ(ProblemBundle::Parse(BuildBundle("P.htm", "S.htm", {})).FindFile("P.htm"), std::nullopt);
  // By hand: LF line ends, two files sharing bytes, a range up to the block's end.
  const std::string head = Names("h1\nh2\nP.htm\nS.htm");
  const auto data_at = static_cast<uint32_t>(head.size() + 16);
  const ProblemBundle shared = ProblemBundle::Parse(head + Word(data_at) + Word(3) + Word(data_at) + Word(3) + "abc");
  EXPECT_EQ(shared.FindFile("P.htm"), "abc");
  EXPECT_EQ(shared.FindFile("S.htm"), "abc");
  // The writer refuses lines that would break the name text.
  for (const auto& [header, file] : {std::pair<std::string, std::string>{"", "P.htm"}, {"a\r\nb", "P.htm"},
                                     {"a", "P\n.htm"}, {"a", std::string("P\0.htm", 6)}, {"a", ""}}) {
    EXPECT_THROW(BuildBundle(header, "format", {{file, "x"}}), Exception) << header << " / " << file;
  }
}

TEST(Bundle, DamagedBlocksAreRefusedNamingTheFault) {
  const std::string one = Names("a\r\nb\r\nP.htm");  // one file; its table entry follows
  const auto end = static_cast<uint32_t>(one.size() + 8);
  const std::pair<std::string, std::string> cases[] = {
      {std::string(3, '\0'), "shorter than its length field"},
      {Word(100) + "h1\r\nh2", "name text (100 bytes) runs past the end of the block (10 bytes)"},
      {Word(0xFFFFFFFF) + "h1\r\nh2", "runs past the end"},
      {Names("h1"), "fewer than two lines"},
      {Names("a\r\nb\r\nx\r\ny\r\nz") + Word(0) + Word(0), "table of data ranges runs past"},  // 3 files
      {one + Word(0) + Word(end + 1), "\"P.htm\" lies outside the block"},
      {one + Word(0xFFFFFFF0) + Word(0x20), "\"P.htm\" lies outside the block"},  // wraps 32 bits
  };
  for (const auto& [block, why] : cases) {
    const std::string error = test::ErrorOf([&block = block] { ProblemBundle::Parse(block); });
    EXPECT_TRUE(error.starts_with("Damaged problem bundle: ") && error.find(why) != std::string::npos) << error;
  }
}

// Each bad source is a sound one (an endpoint without problems) plus one fault, named by the message.
TEST(BankBuilder, RefusesBadSourcesNamingTheCulprit) {
  namespace fs = std::filesystem;
  const std::pair<std::function<void(test::BankSource&)>, std::string> cases[] = {
      {[](auto& s) { s.AddSimpleProblem("A01", "1"); }, "\"problems/A01\": a problem code is a 3-character"},
      {[](auto& s) { s.AddSimpleProblem("A015", "1"); }, "\"problems/A015\": a problem code"},
      {[](auto& s) { s.AddSimpleProblem("A010", "1"); }, "\"problems/A010\": a problem code"},
      {[](auto& s) { s.AddSimpleProblem("A0111", "1"); }, "\"problems/A0111\": a problem code"},
      {[](auto& s) { s.AddSimpleProblem("Z991", "1"); }, "\"problems/Z991\": endpoint \"Z99\" is not listed"},
      {[](auto& s) { s.AddProblem("A011", "3", {{"S.htm", "s"}}); }, "\"problems/A011/3\": it has no P.htm"},
      {[](auto& s) { s.SetEndpoints({"A01=First", "A01=Again"}); }, "line 2: endpoint \"A01\" is listed twice"},
      {[](auto& s) { s.SetEndpoints({"A01=First", "B02 Second"}); }, "db/endpoints.txt line 2"},
      {[](auto& s) { fs::remove(s.Root() / "db/endpoints.txt"); }, "needs db/endpoints.txt"},
      {[](auto& s) { s.AddSimpleProblem("A011", "1a"); }, "\"problems/A011/1a\": the problem number must"},
      {[](auto& s) { s.AddSimpleProblem("A011", "001"); }, "\"problems/A011/1\": it has the same number as"},
      {[](auto& s) { fs::create_directories(s.Root() / "problems/A011/1/x"); }, "\"problems/A011/1/x\": a problem"},
      {[](auto& s) { test::WriteFile(s.Root() / "problems/README", ""); }, "\"problems/README\": it is not a"},
  };
  for (const auto& [damage, expected] : cases) {
    test::TempDir dir(test::TempPlace::kMemory);
    test::BankSource source(dir.Path());
    source.SetEndpoints({"A01=First", "B02=Empty"});
    source.AddSimpleProblem("A011", "1");
    const std::string region = source.BuildRegion();
    ASSERT_EQ(region.substr(test::RegionWord(region, 16), test::RegionWord(region, 20)), "A01=1\r\nB02=0\r\n");
    damage(source);
    const std::string error = test::ErrorOf([&] { source.BuildRegion(); });
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }
}

// One picture per digit and the separator picture between groups of three, each
// without alt text, then the number as text; other characters add nothing.
TEST(NumberImages, DigitPicturesThenTheNumberAsText) {
  std::string number, counter = "\r\n";
  for (const char c : std::string("1,002,034")) {
    number += c == ',' ? std::string("<img src=\"images/szamok_problem/nv.jpg\" alt=\"\">")
                       : std::string("<img src=\"images/szamok_problem/n") + c + ".jpg\" alt=\"\" width=\"8\" height=\"22\">";
    if (c != ',') counter += std::string("<img src=\"images/szamok/n") + c + ".jpg\" alt=\"\" width=\"14\" height=\"21\">\r\n";
  }
  EXPECT_EQ(NumberImagesProblem(1002034), number + "<span class=\"numtext\">1,002,034</span>");
  EXPECT_EQ(DigitImages("-1,002,034"), counter + "<span class=\"numtext\">1002034</span>\r\n");
  EXPECT_EQ(DigitImages("none"), "\r\n");
}

}  // namespace
}  // namespace qil
