// The templates of the built demo disc, read from math.dat with `qilcd cat`:
// every script name has one that parses, with the sections and slots its page
// module fills (per-topic slots for every topic of the disc), and each of the
// clipboard's RTF sections, filled with pictures, is one whole RTF group.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "base/Exceptions.h"
#include "common/Qilcd.h"
#include "framework/SectionedTemplate.h"
#include "richtext/RtfTokenizer.h"

namespace qil::test {
namespace {

// Per script: "section:slot,slot section: ...". A "*" in a slot stands for
// every topic code ("range*" is range, then the code).
const std::map<std::string, std::string> kNeeds = {
    {"mathlist", "header: body:aname,endpcode,num,id,level,problem footer:"},
    {"alsonaviga", "body:mlo,mhi,n,goto"},
    {"problem_lent", "level1:l1id,l1start level2:l2id,l2start level3:l3id,l3start level4:l4id,l4start"},
    {"solution", "body:num,id,level,endpcode,backlink,added_comment0,added_comment1,problem,solution"},
    {"mathgoto", "body:id,start,main,sub,titlepage"},
    {"main", "body:range*"},
    {"mathgfx", ""},
    {"wadd", "addtows:alerttext"},
    {"edit1", "framepage:editparams header: body:endpcode,num,wnum,id,level,problem footer:sheetcode,versions,shared"},
    {"sheet", "error:code,message"},
    {"sheetpdf", "saved:file notsaved:message"},
    {"creator", "body:L*1,L*2,L*3,V*1,V*2,V*3,wcount"},
    {"statistic", "body:L*1,L*2,L*3"},
    {"worksheet", "body:wcounter"},
    {"clipbo",
     "resp: copyright: copy_pr:productname,num,level,endpname,problem "
     "copy_sol:productname,num,level,endpname,solution copy_pr_sol:productname,num,level,endpname,problem,solution "
     "cl_pr_head:productname cl_pr_num_head:productname cl_w_sol_head:productname cl_sol_head:productname "
     "cl_pr_body:wnum,problem cl_pr_num_body:wnum,num,level,endpname,problem "
     "cl_w_sol_body:wnum,num,level,endpname,problem,solution cl_sol_body:wnum,num,solution"}};

TEST(DiscTemplates, EveryScriptHasItsSectionsAndSlots) {
  const char* disc = std::getenv("QIL_DEMO_DISC");
  if (QilcdPath().empty() || disc == nullptr) GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
  std::vector<std::string> codes;
  std::istringstream endpoints(RunQilcd({"cat", disc, "db/endpoints.txt"}).out);
  for (std::string line; std::getline(endpoints, line);) {
    if (line.size() > 3 && line[3] == '=') codes.push_back(line.substr(0, 3));
  }
  ASSERT_EQ(codes.size(), 16u);

  for (const auto& [script, needs] : kNeeds) {
    SCOPED_TRACE(script);
    const QilcdRun source = RunQilcd({"cat", disc, script + ".stmp"});
    ASSERT_EQ(source.exit_code, 0) << source.err;
    try {
      const auto page = SectionedTemplate::CreateFromText("/" + script + ".stmp", source.out);
      EXPECT_EQ(page->Name(), script);
      std::istringstream sections(needs);
      for (std::string need; sections >> need;) {
        TemplateSection& section = page->SectionByName(need.substr(0, need.find(':')));
        std::istringstream slots(need.substr(need.find(':') + 1));
        for (std::string slot; std::getline(slots, slot, ',');) {
          for (const std::string& code : slot.find('*') == std::string::npos ? std::vector<std::string>{""} : codes) {
            const std::string name = code.empty() ? slot : std::string(slot).replace(slot.find('*'), 1, code);
            const auto& vars = section.Vars();
            EXPECT_TRUE(std::any_of(vars.begin(), vars.end(), [&](const auto& var) { return var.first == name; }))
                << "section " << section.Name() << " lacks the slot " << name;
          }
        }
        if (script != "clipbo") continue;
        // Filled as a copy fills it, with a picture group in each picture slot.
        const std::string picture = "\r\n\\par{\\pict\\wmetafile8\\picw10\\pich10\r\n0102\r\n}\r\n";
        for (const char* slot : {"problem", "solution"}) section.SetVar(slot, Variant(picture));
        const std::string text = section.Generate();  // the answer page, or RTF
        EXPECT_TRUE(section.Name() == "resp" ? text.find("<html") != std::string::npos
                                             : text.starts_with("{\\rtf1") && IsOneBalancedGroup(text))
            << section.Name() << ":\n" << text;
      }
    } catch (const Exception& error) {
      ADD_FAILURE() << error.what();
    }
  }
}

}  // namespace
}  // namespace qil::test
