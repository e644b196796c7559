#include "modules/SheetPages.h"

#include <algorithm>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/StringList.h"
#include "framework/Session.h"
#include "mathdb/MathDatabase.h"
#include "modules/SheetCode.h"
#include "platform/Platform.h"
#include "sheetpdf/SheetPdf.h"

namespace qil {

namespace {

constexpr const char* kWorksheetVar = "ws";
constexpr const char* kGeneratedSheetVar = "genws";
constexpr const char* kGeneratedCodesVar = "gencodes";
constexpr const char* kSharedVar = "genshared";

std::string WorksheetText(const std::vector<int32_t>& positions) {
  StringList list;
  for (int32_t position : positions) list.Add(IntToStr(position));
  return list.CommaText();
}

void SetSessionVar(Session& session, const char* name, const std::string& value) {
  session.GetVar(name);
  session.SetVar(name, Variant(value));
}

// Keeps what the editor shows of a generation: version A's worksheet, the
// codes and the shared draws.
void RememberGeneration(Session& session, const std::string& worksheet, const std::vector<std::string>& codes,
                        int shared) {
  StringList list;
  for (const std::string& code : codes) list.Add(code);
  SetSessionVar(session, kGeneratedSheetVar, worksheet);
  SetSessionVar(session, kGeneratedCodesVar, list.CommaText());
  SetSessionVar(session, kSharedVar, IntToStr(shared));
}

}  // namespace

void GenerateSheetVersions(const StringList& params, MathDatabase& database, uint32_t seed, Session& session,
                           StringList& worksheet) {
  CodedSheet sheet;
  sheet.generated = true;
  sheet.seed = seed;
  sheet.groups = RequestedGroups(params, database);
  if (sheet.groups.empty()) return;
  const int versions = std::clamp(StrToIntDef(params.Value("versions"), 1), 1, kMaxVersions);
  const GeneratedVersions drawn = GenerateVersions(database, sheet.groups, seed, versions);

  worksheet.SetCommaText(WorksheetText(drawn.versions.front()));
  std::vector<std::string> codes;
  try {
    for (sheet.version = 0; sheet.version < versions; ++sheet.version) {
      codes.push_back(EncodeGeneratedCode(database, sheet));
    }
  } catch (const SheetCodeError&) {
    codes.clear();  // counts no code can hold: the list's own code is shown
  }
  RememberGeneration(session, worksheet.CommaText(), codes, drawn.shared);
}

namespace {

// What the editor shows of the worksheet's codes.
struct WorksheetCodes {
  std::string code;                // "" when the worksheet has none
  std::vector<std::string> versions;  // every version's code, when it is a generation's version A
  int shared = 0;
};

WorksheetCodes CodesOf(MathDatabase& database, Session& session, const StringList& worksheet) {
  WorksheetCodes codes;
  if (worksheet.Empty()) return codes;
  StringList generated;
  generated.SetCommaText(session.GetVar(kGeneratedCodesVar).ToString());
  if (!generated.Empty() && worksheet.CommaText() == session.GetVar(kGeneratedSheetVar).ToString()) {
    codes.code = generated[0];
    for (int v = 0; generated.Count() > 1 && v < generated.Count(); ++v) codes.versions.push_back(generated[v]);
    codes.shared = StrToIntDef(session.GetVar(kSharedVar).ToString(), 0);
    return codes;
  }
  try {
    std::vector<int32_t> positions;
    for (int i = 0; i < worksheet.Count(); ++i) positions.push_back(StrToInt(worksheet[i]));
    codes.code = EncodeSheetCode(database, positions);
  } catch (const Exception&) {
    codes.code.clear();  // too long, or entries that name no problem: no code
  }
  return codes;
}

// The problems a decoded code names: its list, or its version drawn again.
std::vector<int32_t> PositionsOf(MathDatabase& database, const CodedSheet& sheet) {
  if (!sheet.generated) return sheet.positions;
  return GenerateVersions(database, sheet.groups, sheet.seed, sheet.version + 1).versions.back();
}

}  // namespace

void SetSheetCodeSlots(MathDatabase& database, Session& session, const StringList& worksheet,
                       TemplateSection& section) {
  const WorksheetCodes codes = CodesOf(database, session, worksheet);
  std::string versions, shared;
  for (size_t v = 0; v < codes.versions.size(); ++v) {
    const std::string link = EscapeHtmlAttribute(codes.versions[v]);
    versions += "<li>Version " + VersionLetter(static_cast<int>(v)) + ": <a href=\"sheet.stmp?code=" + link +
                "\">" + EscapeHtmlText(codes.versions[v]) + "</a> <a class=\"pdf\" href=\"sheetpdf.stmp?key=1&amp;code=" +
                link + "\">PDF with answer key</a></li>\r\n";
  }
  if (codes.shared > 0) {
    shared = "The versions share " + IntToStr(codes.shared) + (codes.shared == 1 ? " problem" : " problems") +
             ": the topics and levels asked for do not hold enough problems for every version.";
  }
  section.SetVar("sheetcode", Variant(codes.code));
  section.SetVar("versions", Variant(versions));
  section.SetVar("shared", Variant(shared));
}

void SheetCodePage::Execute() {
  MathDatabase& database = Context.Database;
  if (ClientSession == nullptr) throw PageError("The page has no session.");
  Session& session = *ClientSession;
  const std::string typed = Param("code");
  try {
    const CodedSheet sheet = DecodeSheetCode(database, typed);
    const std::vector<int32_t> positions = PositionsOf(database, sheet);
    if (sheet.generated) RememberGeneration(session, WorksheetText(positions), {EncodeGeneratedCode(database, sheet)}, 0);
    SetSessionVar(session, kWorksheetVar, WorksheetText(positions));
  } catch (const Exception& error) {  // the code's error, or the generator's
    TemplateSection& section = Template->SectionByName("error");
    section.SetVar("code", Variant(EscapeHtmlText(typed)));
    section.SetVar("message", Variant(EscapeHtmlText(error.Message())));
    section.WriteToStream(*OutStream);
    return;
  }
  Redirect("edit1.stmp");
}

void SheetPdfPage::Execute() {
  MathDatabase& database = Context.Database;
  if (ClientSession == nullptr) throw PageError("The page has no session.");
  Session& session = *ClientSession;
  SheetPdfOptions options;
  options.answerKey = Param("key") == "1";
  options.paper = Param("paper") == "letter" ? Paper::kLetter : Paper::kA4;
  std::string name = "worksheet";
  std::vector<int32_t> positions;
  std::string message;
  try {
    if (const std::string typed = Param("code"); !typed.empty()) {
      const CodedSheet sheet = DecodeSheetCode(database, typed);
      positions = PositionsOf(database, sheet);
      options.code = sheet.generated ? EncodeGeneratedCode(database, sheet) : EncodeSheetCode(database, positions);
      if (sheet.generated) {
        options.title += ", version " + VersionLetter(sheet.version);
        name += "-" + VersionLetter(sheet.version);
      }
    } else {
      StringList worksheet;
      worksheet.SetCommaText(session.GetVar(kWorksheetVar).ToString());
      for (int i = 0; i < worksheet.Count(); ++i) positions.push_back(StrToInt(worksheet[i]));
      options.code = CodesOf(database, session, worksheet).code;
    }
    if (positions.empty()) message = "The worksheet is empty: there is nothing to print yet.";
  } catch (const Exception& error) {  // a code's error, or the generator's
    message = error.Message();
  }
  if (message.empty()) {
    if (options.answerKey) name += "-with-key";
    const std::string pdf = WriteWorksheetPdf(database, positions, options);
    if (Context.Host.SaveDocument(name + ".pdf", "application/pdf", pdf)) {
      TemplateSection& saved = Template->SectionByName("saved");
      saved.SetVar("file", Variant(EscapeHtmlText(name + ".pdf")));
      saved.WriteToStream(*OutStream);
      return;
    }
    message = "The PDF was not saved.";
  }
  TemplateSection& refused = Template->SectionByName("notsaved");
  refused.SetVar("message", Variant(EscapeHtmlText(message)));
  refused.WriteToStream(*OutStream);
}

}  // namespace qil
