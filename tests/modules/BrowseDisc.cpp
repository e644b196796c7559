#include "modules/BrowseDisc.h"

#include <map>

#include "archive/PackFolder.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/BankFixture.h"

namespace fs = std::filesystem;

namespace qil::test {

namespace {

// One template per script name; every variable a module sets is shown in a
// way that a test can pick out.
const std::map<std::string, std::string>& Templates() {
  static const std::map<std::string, std::string> templates = {
      {"mathlist.stmp",
       "<%%template%%><%section name=header%>HEAD\n<%/section%>"
       "<%section name=body%>ROW <%=aname%> <%=endpcode%> <%=id%> <%=level%> [<%=num%>] "
       "<%=problem%><%/section%>"
       "<%section name=footer%>FOOT<%/section%><%section name=other%>OTHER<%/section%>"},
      {"problem_lent.stmp",
       "<%%template%%><%section name=level1%>L1 <%=l1id%> <%=l1start%>;<%/section%>"
       "<%section name=level2%>L2 <%=l2id%> <%=l2start%>;<%/section%>"
       "<%section name=level3%>L3 <%=l3id%> <%=l3start%>;<%/section%>"
       "<%section name=level4%>L4 <%=l4id%> <%=l4start%>;<%/section%>"},
      {"alsonaviga.stmp",
       "<%%template%%><%section name=body%>mlo=<%=mlo%> mhi=<%=mhi%> n=<%=n%> goto=<%=goto%>"
       "<%/section%>"},
      {"solution.stmp",
       "<%%template%%><%section name=body%>id=<%=id%> level=<%=level%> endpcode=<%=endpcode%> "
       "back=<%=backlink%> <%=added_comment0%>ADD<%=added_comment1%>\n"
       "num=<%=num%>\nproblem=<%=problem%>solution=<%=solution%><%/section%>"},
      {"mathgoto.stmp",
       "<%%template%%><%section name=body%><%=id%> <%=start%> <%=main%> <%=sub%> <%=titlepage%>"
       "<%/section%>"},
      {"main.stmp",
       "<%%template%%><%section name=body%>A01<%=rangeA01%> A02<%=rangeA02%> B01<%=rangeB01%> "
       "C01<%=rangeC01%><%/section%>"},
      {"mathgfx.stmp", "<%%template%%><%section name=body%>not used<%/section%>"},
      {"gotoerror_h.html", "<html>no such problem</html>"},
      // The same script names, each lacking a section its module fills.
      {"broken/mathlist.stmp",
       "<%%template%%><%section name=header%>HEAD\n<%/section%><%section name=body%>x<%/section%>"},
      {"broken/problem_lent.stmp",
       "<%%template%%><%section name=level1%>1<%/section%><%section name=level2%>2<%/section%>"
       "<%section name=level4%>4<%/section%>"},
      {"broken/alsonaviga.stmp", "<%%template%%><%section name=nav%>x<%/section%>"},
      {"broken/solution.stmp", "<%%template%%>"},
      {"broken/mathgoto.stmp", "<%%template%%>"},
      {"broken/main.stmp", "<%%template%%><%section name=head%>x<%/section%>"},
  };
  return templates;
}

}  // namespace

BrowseDisc::BrowseDisc() {
  for (const auto& [name, text] : Templates()) WriteFile(Source() / name, text);

  BankSource bank(Source());
  bank.SetEndpoints({"A01=Fractions", "A02=Empty", "B01=Folded", "C01=Big"});
  bank.SetDbFile("menuid.txt", "sA01=a01.htm\r\nsB01=b01.htm\r\nsA02=a02.htm\r\n");
  const auto add = [&bank](const std::string& code, int count, bool solutions) {
    for (int number = 1; number <= count; ++number) {
      const std::string name = code + "/" + std::to_string(number);
      std::map<std::string, std::string> files = {{"P.htm", "P:" + name}};
      if (solutions) files["S.htm"] = "S:" + name;
      bank.AddProblem(code, std::to_string(number), files);
    }
  };
  add("A011", 30, true);
  add("A013", 30, true);
  add("B012", 4, true);
  add("B014", 6, true);
  add("C011", 1100, false);
  // Position 6 gets pictures; the same picture twice in the problem page.
  bank.AddProblem("A011", "7",
                  {{"P.htm", "P:A011/7 <img src=\"M_image1.gif\"><img src=\"M_image1.gif\">"},
                   {"S.htm", "S:A011/7 <img src=\"M_image2.png\">"},
                   {"M_image1.gif", PictureBytes()},
                   {"M_image2.png", "PNG bytes"}});
}

fs::path BrowseDisc::PackHere(const std::string& file_name) const {
  const fs::path out = Root() / file_name;
  PackOptions options;
  AddProblemBankToPacking(options);
  PackFolder(Source(), out, options);
  return out;
}

std::string BrowseDisc::PictureBytes() {
  return std::string("GIF89a\0\r\n\x1a\xff\x00 end", 16);
}

}  // namespace qil::test
