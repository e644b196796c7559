// Sheet codes over a disc of 120 problems: lists of 1 to 25 problems and
// generated sheets come back whole, every single mistyped character and
// every swap of neighbours is caught with a message, and versions of a
// generated sheet share no problem while their groups allow.
#include "modules/SheetCode.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "mathdb/MathDatabase.h"
#include "modules/PageDisc.h"
#include "modules/WorksheetGenerator.h"

namespace qil {
namespace {

constexpr std::string_view kDigits = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

std::function<void(test::BankSource&)> Bank(int perGroup) {
  return [perGroup](test::BankSource& bank) {
    bank.SetEndpoints({"A01=Alpha", "B02=Beta"});
    for (const char* code : {"A011", "A012", "A013", "B021", "B022", "B023"}) {
      for (int i = 1; i <= perGroup; ++i) bank.AddSimpleProblem(code, std::to_string(i));
    }
  };
}

const std::map<std::string, std::string> kTemplates = {
    {"edit1.stmp", "<%%template%%><%section name=framepage%>F<%/section%><%section name=header%>H;<%/section%>"
                   "<%section name=body%><%/section%><%section name=footer%>[<%=sheetcode%>|<%=versions%>|<%=shared%>]"
                   "<%/section%>"},
    {"sheet.stmp", "<%%template%%><%section name=error%>ERR[<%=code%>|<%=message%>]<%/section%>"},
    {"sheetpdf.stmp", "<%%template%%><%section name=saved%>SAVED[<%=file%>]<%/section%>"
                      "<%section name=notsaved%>NOT[<%=message%>]<%/section%>"}};

class SheetCodeTest : public ::testing::Test {
 protected:
  MathDatabase& Database() { return *disc.engine->Manager().GetObjectAs<MathDatabase>("MathDBManager"); }
  test::PageDisc disc{kTemplates, Bank(20)};
};

// Every text that differs from code by one digit or by a swap of two
// neighbouring digits (separators left where they are).
std::vector<std::string> Typos(const std::string& code) {
  std::vector<std::string> typos;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i] == '-') continue;
    for (char digit : kDigits) {
      if (digit == code[i]) continue;
      std::string typo = code;
      typo[i] = digit;
      typos.push_back(typo);
    }
    const size_t next = code.find_first_not_of('-', i + 1);
    if (next != std::string::npos && code[next] != code[i]) {
      std::string swapped = code;
      std::swap(swapped[i], swapped[next]);
      typos.push_back(swapped);
    }
  }
  return typos;
}

TEST_F(SheetCodeTest, ListsOfOneToTwentyFiveComeBackAndTyposAreCaught) {
  std::mt19937 random(7);
  for (int size = 1; size <= 25; ++size) {
    std::vector<int32_t> positions(120);
    for (int32_t i = 0; i < 120; ++i) positions[static_cast<size_t>(i)] = i;
    std::shuffle(positions.begin(), positions.end(), random);
    positions.resize(static_cast<size_t>(size));
    const std::string code = EncodeSheetCode(Database(), positions);
    SCOPED_TRACE(code);
    EXPECT_EQ(DecodeSheetCode(Database(), code).positions, positions);
    for (const std::string& typo : Typos(code)) {
      EXPECT_THROW(DecodeSheetCode(Database(), typo), SheetCodeError) << typo;
    }
  }
}

TEST_F(SheetCodeTest, ReadingForgivesCaseSeparatorsAndLookAlikes) {
  const std::vector<int32_t> positions = {3, 119, 0, 64};
  const std::string code = EncodeSheetCode(Database(), positions);
  std::string spoken;
  for (char c : code) {
    if (c == '-') continue;
    spoken += c == '1' ? 'l' : c == '0' ? 'o' : static_cast<char>(std::tolower(c));
    spoken += ' ';
  }
  EXPECT_EQ(DecodeSheetCode(Database(), spoken).positions, positions);
}

TEST_F(SheetCodeTest, WrongCodesSayWhatIsWrong) {
  const std::string code = EncodeSheetCode(Database(), {5, 6, 7});
  test::PageDisc other{{}, Bank(21)};
  const MathDatabase& other_db = *other.engine->Manager().GetObjectAs<MathDatabase>("MathDBManager");
  const std::pair<std::string, std::string> cases[] = {
      {"", "The code is empty."},
      {"- -", "The code is empty."},
      {code + "U", "The code holds \"U\", which no code uses."},
      {code.substr(0, 2), "The code is too short: characters are missing."},
      {code.substr(0, 5) + code.substr(6), "The code does not check out"},
  };
  for (const auto& [text, message] : cases) {
    try {
      DecodeSheetCode(Database(), text);
      ADD_FAILURE() << text << " was accepted";
    } catch (const SheetCodeError& error) {
      EXPECT_EQ(error.Message().rfind(message, 0), 0u) << text << ": " << error.Message();
    }
  }
  EXPECT_THROW(DecodeSheetCode(other_db, code), SheetCodeError);
  EXPECT_THROW(EncodeSheetCode(Database(), {}), SheetCodeError);
  EXPECT_THROW(EncodeSheetCode(Database(), {120}), SheetCodeError);
  EXPECT_THROW(EncodeSheetCode(Database(), {3, 4, 3}), SheetCodeError);
}

TEST_F(SheetCodeTest, GeneratedSheetsComeBackAsSeedCountsAndVersion) {
  CodedSheet sheet;
  sheet.generated = true;
  sheet.seed = kMaxSeed;
  sheet.version = 2;
  sheet.groups = {{0, 3}, {5, 20}};
  const std::string code = EncodeGeneratedCode(Database(), sheet);
  const CodedSheet back = DecodeSheetCode(Database(), code);
  EXPECT_TRUE(back.generated);
  EXPECT_EQ(back.seed, sheet.seed);
  EXPECT_EQ(back.version, 2);
  EXPECT_EQ(back.groups, sheet.groups);
  for (const std::string& typo : Typos(code)) EXPECT_THROW(DecodeSheetCode(Database(), typo), SheetCodeError) << typo;
}

TEST_F(SheetCodeTest, VersionsShareNoProblemWhileTheGroupsAllow) {
  // Groups 0 and 1 (A011 and A012) hold 20 problems each.
  const GeneratedVersions roomy = GenerateVersions(Database(), {{0, 5}, {1, 6}}, 4711, 3);
  ASSERT_EQ(roomy.versions.size(), 3u);
  std::set<int32_t> all;
  for (const auto& version : roomy.versions) {
    EXPECT_EQ(version.size(), 11u);
    all.insert(version.begin(), version.end());
  }
  EXPECT_EQ(all.size(), 33u);
  EXPECT_EQ(roomy.shared, 0);
  EXPECT_EQ(GenerateVersions(Database(), {{0, 5}, {1, 6}}, 4711, 1).versions[0], roomy.versions[0]);

  const GeneratedVersions tight = GenerateVersions(Database(), {{0, 8}}, 99, 3);
  for (const auto& version : tight.versions) EXPECT_EQ(std::set<int32_t>(version.begin(), version.end()).size(), 8u);
  EXPECT_EQ(tight.shared, 24 - 20);
  EXPECT_EQ(GenerateVersions(Database(), {{0, 8}}, 99, 3).versions, tight.versions);
}

std::string Text(const std::vector<int32_t>& positions) {
  std::string text;
  for (int32_t p : positions) text += (text.empty() ? "" : ",") + std::to_string(p);
  return text;
}

TEST_F(SheetCodeTest, TheEditorShowsCodesThatReopenTheirSheets) {
  disc.host.SetFixedTimeOfDay(1234567);
  const std::string footer = disc.Get("edit1.stmp?action=gensheet&TA011=4&TB021=2&versions=3&rnd=x");
  const GeneratedVersions drawn = GenerateVersions(Database(), {{0, 4}, {4, 2}}, 1234567, 3);
  EXPECT_EQ(disc.Var("ws"), Text(drawn.versions[0]));
  CodedSheet sheet{true, {}, 1234567, 0, {{0, 4}, {4, 2}}};
  std::vector<std::string> codes;
  for (sheet.version = 0; sheet.version < 3; ++sheet.version) codes.push_back(EncodeGeneratedCode(Database(), sheet));
  EXPECT_NE(footer.find("[" + codes[0] + "|<li>Version A: <a href=\"sheet.stmp?code=" + codes[0]), std::string::npos)
      << footer;
  EXPECT_NE(footer.find("<li>Version C: <a href=\"sheet.stmp?code=" + codes[2]), std::string::npos);

  // Version B by its code, then a list by its code; a change shows the list's own code.
  disc.Get("sheet.stmp?code=" + codes[1]);
  EXPECT_EQ(disc.Var("ws"), Text(drawn.versions[1]));
  EXPECT_NE(disc.Get("edit1.stmp").find("[" + codes[1] + "||]"), std::string::npos);
  disc.Get("edit1.stmp?action=remove&id=" + std::to_string(drawn.versions[1][0]));
  const std::vector<int32_t> rest(drawn.versions[1].begin() + 1, drawn.versions[1].end());
  EXPECT_NE(disc.Get("edit1.stmp").find("[" + EncodeSheetCode(Database(), rest) + "||]"), std::string::npos);

  const std::string list = EncodeSheetCode(Database(), {9, 2, 77});
  disc.Get("sheet.stmp?code=" + list);
  EXPECT_EQ(disc.Var("ws"), "9,2,77");
  EXPECT_EQ(disc.Get("sheet.stmp?code=" + list.substr(1) + "%3C"),
            "ERR[" + list.substr(1) + "&lt;|The code holds \"&lt;\", which no code uses.]");
  EXPECT_EQ(disc.Var("ws"), "9,2,77");

  // A generated code whose counts the disc cannot draw says so.
  sheet.groups = {{0, 21}};
  sheet.version = 0;
  EXPECT_NE(disc.Get("sheet.stmp?code=" + EncodeGeneratedCode(Database(), sheet)).find("generate 21 out of 20"),
            std::string::npos);
  EXPECT_EQ(disc.Var("ws"), "9,2,77");
}

TEST_F(SheetCodeTest, ThePdfPageOffersTheSheetToSave) {
  EXPECT_EQ(disc.Get("sheetpdf.stmp"), "NOT[The worksheet is empty: there is nothing to print yet.]");
  disc.SetVar("ws", "5,7");
  EXPECT_EQ(disc.Get("sheetpdf.stmp?key=1"), "NOT[The PDF was not saved.]");  // no way to save
  disc.host.SetSaveFolder(disc.dir.Path().string());
  EXPECT_EQ(disc.Get("sheetpdf.stmp?key=1&paper=letter"), "SAVED[worksheet-with-key.pdf]");
  EXPECT_EQ(disc.host.LastSaved().second.rfind("%PDF-", 0), 0u);
  EXPECT_EQ(test::ReadBytes(disc.dir.File("worksheet-with-key.pdf")), disc.host.LastSaved().second);

  const CodedSheet sheet{true, {}, 42, 1, {{0, 3}}};
  EXPECT_EQ(disc.Get("sheetpdf.stmp?code=" + EncodeGeneratedCode(Database(), sheet)), "SAVED[worksheet-B.pdf]");
  EXPECT_EQ(disc.Var("ws"), "5,7");
  EXPECT_EQ(disc.Get("sheetpdf.stmp?code=XYZ"), "NOT[The code does not check out: a character may be mistyped, or "
                                                "the code was made for another disc.]");
}

}  // namespace
}  // namespace qil
