#include "modules/WorksheetDisc.h"

#include <gtest/gtest.h>

#include "archive/PackFolder.h"
#include "mathdb/BankBuilder.h"
#include "modules/WorksheetPages.h"

namespace fs = std::filesystem;

namespace qil::test {

namespace {

const char kWaddTemplate[] =
    "<%%template%%><%section name=addtows%>alert(\"<%=alerttext%>\");<%/section%>";

const char kEditTemplate[] =
    "<%%template%%>\r\n"
    "<%section name=framepage%>FRAME[<%=editparams%>]<%/section%>\r\n"
    "<%section name=header%>HEAD;<%/section%>\r\n"
    "<%section name=body%>ROW[<%=wnum%>|<%=num%>|<%=id%>|<%=endpcode%>|<%=level%>|"
    "<%=problem%>];<%/section%>\r\n"
    "<%section name=footer%>FOOT<%/section%>\r\n";

const char kCreatorTemplate[] =
    "<%%template%%><%section name=body%>"
    "A011=<%=LA011%>/<%=VA011%> A012=<%=LA012%>/<%=VA012%> A014=<%=LA014%>/<%=VA014%> "
    "B023=<%=LB023%>/<%=VB023%> C123=<%=LC123%>/<%=VC123%> C124=<%=LC124%>/<%=VC124%> "
    "D041=<%=LD041%>/<%=VD041%> Z991=<%=LZ991%>/<%=VZ991%>"
    "<%/section%>";

const char kStatisticTemplate[] =
    "<%%template%%><%section name=body%>"
    "A011=<%=LA011%> A012=<%=LA012%> B023=<%=LB023%> C121=<%=LC121%> C123=<%=LC123%> "
    "C124=<%=LC124%> D041=<%=LD041%>"
    "<%/section%>";

const char kCounterTemplate[] = "<%%template%%><%section name=body%>[<%=wcounter%>]<%/section%>";

struct Group {
  const char* code;
  int problems;
};
// In index order: the first group starts at position 0, each next one behind the last.
const Group kGroups[] = {{"A011", 3}, {"A012", 2}, {"B023", 12}, {"C121", 3}, {"C124", 2}};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

void WriteWorksheetDisc(const fs::path& root, const std::string& mapping) {
  BankSource bank(root);
  bank.SetEndpoints({"A01=Alpha", "B02=Beta", "C12=Gamma", "D04=Empty"});
  bank.SetDbFile("menuid.txt", "sA01=a01.htm\r\n");
  if (!mapping.empty()) bank.SetDbFile("endpoint-mapping.txt", mapping);
  for (const Group& group : kGroups) {
    for (int i = 1; i <= group.problems; ++i) {
      const std::string number = std::to_string(i);
      if (std::string(group.code) == "A011" && i == 2) {
        bank.AddProblem(group.code, number,
                        {{"P.htm", "see <img src=\"M_image1.gif\">"}, {"S.htm", "s"},
                         {"M_image1.gif", "GIF89a"}});
      } else {
        bank.AddProblem(group.code, number, {{"P.htm", std::string(group.code) + "/" + number}});
      }
    }
  }
  WriteFile(root / "wadd.stmp", kWaddTemplate);
  WriteFile(root / "edit1.stmp", kEditTemplate);
  WriteFile(root / "creator.stmp", kCreatorTemplate);
  WriteFile(root / "statistic.stmp", kStatisticTemplate);
  WriteFile(root / "worksheet.stmp", kCounterTemplate);
}

void PackDisc(const fs::path& root, const fs::path& archive) {
  PackOptions options;
  AddProblemBankToPacking(options);
  PackFolder(root, archive, options);
}

std::string ShowDigits(std::string html) {
  for (char digit = '0'; digit <= '9'; ++digit) {
    ReplaceAll(html,
               std::string("<img src=\"images/szamok_problem/n") + digit +
                   ".jpg\" width=\"8\" height=\"22\">",
               std::string(1, digit));
    ReplaceAll(html,
               std::string("<img src=\"images/szamok/n") + digit +
                   ".jpg\" width=\"14\" height=\"21\">",
               std::string(1, digit) + "#");
  }
  ReplaceAll(html, "<img src=\"images/szamok_problem/nv.jpg\">", ",");
  return html;
}

void ExpectGroupDraws(uint32_t time_of_day, int32_t first, int32_t count, int32_t n,
                      std::set<int32_t>& taken) {
  uint32_t seed = time_of_day;
  for (int32_t i = 0; i < n; ++i) {
    int32_t position;
    do {
      seed = seed * 134775813u + 1u;
      position = first + static_cast<int32_t>((static_cast<uint64_t>(count) * seed) >> 32);
    } while (taken.count(position) != 0);
    taken.insert(position);
  }
}

std::string WorksheetText(const std::set<int32_t>& positions) {
  std::string text;
  for (int32_t position : positions) {
    if (!text.empty()) text += ',';
    text += std::to_string(position);
  }
  return text;
}

std::string Row(int place, int32_t position) {
  int32_t first = 0;
  for (const Group& group : kGroups) {
    if (position >= first && position < first + group.problems) {
      std::string code = group.code;
      if (code[3] == '4') code[3] = '3';  // the edition's reading
      char id[16];
      std::snprintf(id, sizeof id, "%06d", position);
      const std::string number = std::to_string(position - first + 1);
      const std::string problem = position == 1
                                      ? "see <img src=\"mathgfx.stmp?ID=1&gfx=M_image1.gif\">"
                                      : std::string(group.code) + "/" + number;
      return "ROW[" + std::to_string(place) + "|" + std::to_string(position + 1) + "|" + id + "|" +
             code.substr(0, 3) + "|" + code.substr(3) + "|" + problem + "\r\n];";
    }
    first += group.problems;
  }
  ADD_FAILURE() << "no problem at position " << position;
  return "";
}

std::string EditorPage(const std::vector<int32_t>& positions) {
  std::string page = "HEAD;";
  int place = 0;
  for (int32_t position : positions) page += Row(++place, position);
  return page + "FOOT";
}

WorksheetPages::WorksheetPages(const std::string& mapping) {
  WriteWorksheetDisc(dir_.Path() / "src", mapping);
  PackDisc(dir_.Path() / "src", dir_.Path() / "math.dat");
  OpenArchive(archive_, dir_.Path() / "math.dat");
  database_.Load(archive_);
  manager_ = std::make_unique<ModuleManager>(&archive_, true);
  RegisterPage<AddToWorksheetPage>(*manager_, "wadd", context_);
  RegisterPage<WorksheetEditorPage>(*manager_, "edit1", context_);
  RegisterPage<WorksheetStatisticsPage>(*manager_, "statistic", context_);
  RegisterPage<WorksheetCreatorPage>(*manager_, "creator", context_);
  RegisterPage<WorksheetCounterPage>(*manager_, "worksheet", context_);
  platform_.SetFixedTimeOfDay(0);
  SetCurrentPlatform(&platform_);
}

WorksheetPages::~WorksheetPages() {
  SetCurrentPlatform(nullptr);
  manager_.reset();
}

std::string WorksheetPages::Get(const std::string& address) {
  MemoryStream stream;
  std::string content_type;
  manager_->ServeRequest("/" + address, stream, content_type);
  EXPECT_EQ(content_type, "text/html") << address;
  return stream.Take();
}

void WorksheetPages::SetVar(const std::string& name, const std::string& value) {
  Session& session = *manager_->DefaultSession();
  session.GetVar(name);
  session.SetVar(name, Variant(value));
}

}  // namespace qil::test
