// The templates of the built demo disc, read from math.dat with `qilcd cat`:
// every script name has one that parses, with the sections and the slots its
// page module fills; the per-topic slots cover every topic of the database;
// the clipboard's RTF sections are whole RTF groups.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "base/Exceptions.h"
#include "content/DiscSession.h"
#include "framework/SectionedTemplate.h"
#include "richtext/RtfTokenizer.h"

namespace qil::test {
namespace {

// The bytes of an archive entry of the disc; "" when qilcd cannot give it.
std::string ArchiveEntry(const std::string& name) {
  const std::string command =
      "'" + DiscSession::QilcdPath() + "' cat '" + DiscSession::DiscPath() + "' '" + name + "' 2>/dev/null";
  std::string bytes;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return bytes;
  char buffer[8192];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, n);
  pclose(pipe);
  return bytes;
}

std::set<std::string> SlotNames(const TemplateSection& section) {
  std::set<std::string> names;
  for (const auto& [name, slot] : section.Vars()) names.insert(name);
  return names;
}

// section name -> the slots its module sets
using Needs = std::map<std::string, std::set<std::string>>;

class DiscTemplates : public ::testing::Test {
 protected:
  void SetUp() override {
    if (DiscSession::QilcdPath().empty() || DiscSession::DiscPath().empty()) {
      GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
    }
    const std::string endpoints = ArchiveEntry("db/endpoints.txt");
    for (size_t at = 0; at < endpoints.size();) {
      const size_t end = std::min(endpoints.find('\n', at), endpoints.size());
      const std::string line = endpoints.substr(at, end - at);
      if (line.size() > 3 && line[3] == '=') codes_.push_back(line.substr(0, 3));
      at = end + 1;
    }
    ASSERT_EQ(codes_.size(), 16u);
  }

  std::unique_ptr<SectionedTemplate> Load(const std::string& script) {
    const std::string source = ArchiveEntry(script + ".stmp");
    EXPECT_FALSE(source.empty()) << script;
    try {
      auto page = SectionedTemplate::CreateFromText("/" + script + ".stmp", source);
      EXPECT_EQ(page->Name(), script);
      return page;
    } catch (const Exception& error) {
      ADD_FAILURE() << script << ": " << error.what();
      return nullptr;
    }
  }

  // Every section of needs is there with at least those slots.
  void ExpectSections(const std::string& script, const Needs& needs) {
    SCOPED_TRACE(script);
    const auto page = Load(script);
    ASSERT_NE(page, nullptr);
    for (const auto& [name, slots] : needs) {
      try {
        const std::set<std::string> present = SlotNames(page->SectionByName(name));
        for (const std::string& slot : slots) {
          EXPECT_TRUE(present.contains(slot)) << "section " << name << " lacks the slot " << slot;
        }
      } catch (const Exception& error) {
        ADD_FAILURE() << error.what();
      }
    }
  }

  // "prefix" + code + level for every topic and the levels 1 to 3.
  std::set<std::string> GroupSlots(const std::string& prefix) const {
    std::set<std::string> slots;
    for (const std::string& code : codes_) {
      for (const char level : {'1', '2', '3'}) slots.insert(prefix + code + level);
    }
    return slots;
  }

  std::vector<std::string> codes_;
};

TEST_F(DiscTemplates, BrowsingPagesHaveTheirSectionsAndSlots) {
  ExpectSections("mathlist", {{"header", {}},
                              {"body", {"aname", "endpcode", "num", "id", "level", "problem"}},
                              {"footer", {}}});
  ExpectSections("alsonaviga", {{"body", {"mlo", "mhi", "n", "goto"}}});
  ExpectSections("problem_lent", {{"level1", {"l1id", "l1start"}},
                                  {"level2", {"l2id", "l2start"}},
                                  {"level3", {"l3id", "l3start"}},
                                  {"level4", {"l4id", "l4start"}}});
  ExpectSections("solution", {{"body",
                               {"num", "id", "level", "endpcode", "backlink", "added_comment0", "added_comment1",
                                "problem", "solution"}}});
  ExpectSections("mathgoto", {{"body", {"id", "start", "main", "sub", "titlepage"}}});
  std::set<std::string> ranges;
  for (const std::string& code : codes_) ranges.insert("range" + code);
  ExpectSections("main", {{"body", ranges}});
  EXPECT_NE(Load("mathgfx"), nullptr);
}

TEST_F(DiscTemplates, WorksheetPagesHaveTheirSectionsAndSlots) {
  ExpectSections("wadd", {{"addtows", {"alerttext"}}});
  ExpectSections("edit1", {{"framepage", {"editparams"}},
                           {"header", {}},
                           {"body", {"endpcode", "num", "wnum", "id", "level", "problem"}},
                           {"footer", {}}});
  std::set<std::string> creator = GroupSlots("L");
  creator.merge(GroupSlots("V"));
  ExpectSections("creator", {{"body", creator}});
  ExpectSections("statistic", {{"body", GroupSlots("L")}});
  ExpectSections("worksheet", {{"body", {"wcounter"}}});
}

TEST_F(DiscTemplates, ClipboardSectionsAreWholeRtfGroups) {
  const std::set<std::string> single = {"productname", "num", "level", "endpname"};
  const std::set<std::string> numbered = {"wnum", "num", "level", "endpname"};
  Needs needs = {{"copy_pr", single}, {"copy_sol", single}, {"copy_pr_sol", single}, {"copyright", {}}};
  needs["copy_pr"].insert("problem");
  needs["copy_sol"].insert("solution");
  needs["copy_pr_sol"].insert({"problem", "solution"});
  for (const std::string type : {"cl_pr", "cl_pr_num", "cl_w_sol", "cl_sol"}) {
    needs[type + "_head"] = {"productname"};
    needs[type + "_body"] = numbered;
  }
  // The plain worksheet shows only the places; the answer key the numbers too.
  needs["cl_pr_body"] = {"wnum"};
  needs["cl_sol_body"] = {"wnum", "num"};
  needs["cl_pr_body"].insert("problem");
  needs["cl_pr_num_body"].insert("problem");
  needs["cl_w_sol_body"].insert({"problem", "solution"});
  needs["cl_sol_body"].insert("solution");
  ExpectSections("clipbo", needs);

  const auto page = Load("clipbo");
  ASSERT_NE(page, nullptr);
  // Filled with a picture group in each picture slot, as the copy fills them.
  const std::string picture = "\r\n\\par{\\pict\\wmetafile8\\picw10\\pich10\\picwgoal150\\pichgoal150\r\n0102\r\n}\r\n";
  for (const auto& [name, slots] : needs) {
    TemplateSection& section = page->SectionByName(name);
    for (const char* slot : {"problem", "solution"}) section.SetVar(slot, Variant(picture));
    const std::string rtf = section.Generate();
    EXPECT_TRUE(rtf.starts_with("{\\rtf1")) << name;
    EXPECT_TRUE(IsOneBalancedGroup(rtf)) << name << ":\n" << rtf;
  }
  const std::string response = page->SectionByName("resp").Generate();
  EXPECT_NE(response.find("<html"), std::string::npos);
}

}  // namespace
}  // namespace qil::test
