#include "modules/SheetPages.h"

#include <algorithm>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/StringList.h"
#include "framework/Session.h"
#include "mathdb/MathDatabase.h"
#include "modules/SheetCode.h"

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
  SheetSpec spec;
  spec.generated = true;
  spec.seed = seed;
  spec.groups = RequestedGroups(params, database);
  if (spec.groups.empty()) return;
  const int versions = std::clamp(StrToIntDef(params.Value("versions"), 1), 1, kMaxVersions);
  const GeneratedVersions drawn = GenerateVersions(database, spec.groups, seed, versions);

  worksheet.SetCommaText(WorksheetText(drawn.versions.front()));
  std::vector<std::string> codes;
  try {
    for (spec.version = 0; spec.version < versions; ++spec.version) {
      codes.push_back(EncodeGeneratedCode(database, spec));
    }
  } catch (const SheetCodeError&) {
    codes.clear();  // counts no code can hold: the list's own code is shown
  }
  RememberGeneration(session, worksheet.CommaText(), codes, drawn.shared);
}

void SetSheetCodeSlots(MathDatabase& database, Session& session, const StringList& worksheet,
                       TemplateSection& section) {
  std::string code, versions, shared;
  StringList codes;
  codes.SetCommaText(session.GetVar(kGeneratedCodesVar).ToString());
  if (!worksheet.Empty() && !codes.Empty() &&
      worksheet.CommaText() == session.GetVar(kGeneratedSheetVar).ToString()) {
    code = codes[0];
    if (codes.Count() > 1) {
      for (int v = 0; v < codes.Count(); ++v) {
        const std::string escaped = EscapeHtmlAttribute(codes[v]);
        versions += "<li>Version " + VersionLetter(v) + ": <a href=\"sheet.stmp?code=" + escaped + "\">" +
                    EscapeHtmlText(codes[v]) + "</a></li>\r\n";
      }
    }
    const int32_t count = StrToIntDef(session.GetVar(kSharedVar).ToString(), 0);
    if (count > 0) {
      shared = "The versions share " + IntToStr(count) + (count == 1 ? " problem" : " problems") +
               ": the topics and levels asked for do not hold enough problems for every version.";
    }
  } else if (!worksheet.Empty()) {
    try {
      std::vector<int32_t> positions;
      for (int i = 0; i < worksheet.Count(); ++i) positions.push_back(StrToInt(worksheet[i]));
      code = EncodeSheetCode(database, positions);
    } catch (const Exception&) {
      code.clear();  // too long, or entries that name no problem: no code
    }
  }
  section.SetVar("sheetcode", Variant(code));
  section.SetVar("versions", Variant(versions));
  section.SetVar("shared", Variant(shared));
}

void SheetCodePage::Execute() {
  MathDatabase& database = Context.Database;
  if (ClientSession == nullptr) throw PageError("The page has no session.");
  Session& session = *ClientSession;
  const std::string typed = Param("code");
  try {
    const SheetSpec spec = DecodeSheetCode(database, typed);
    std::vector<int32_t> positions = spec.positions;
    if (spec.generated) {
      positions = GenerateVersions(database, spec.groups, spec.seed, spec.version + 1).versions.back();
      RememberGeneration(session, WorksheetText(positions), {EncodeGeneratedCode(database, spec)}, 0);
    }
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

}  // namespace qil
