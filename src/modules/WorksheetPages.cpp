#include "modules/WorksheetPages.h"

#include <string>
#include <vector>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/Exceptions.h"
#include "mathdb/MathDatabase.h"
#include "mathdb/NumberImages.h"
#include "modules/BrowsePages.h"
#include "modules/SheetPages.h"
#include "modules/WorksheetGenerator.h"
#include "platform/Platform.h"

namespace qil {

namespace {

constexpr const char* kWorksheetVar = "ws";
constexpr const char* kTokenVar = "rnd";

constexpr const char* kAlreadyOnWorksheet = "Warning!\\n\\nProblem already exists in Worksheet.";
constexpr const char* kWorksheetFull =
    "Warning!\\n\\nMaximum number of worksheet items already reached.";
constexpr const char* kProblemAdded = "Problem added to Worksheet.";

Session& SessionOf(const PageModule& module) {
  if (module.ClientSession == nullptr) throw PageError("The page has no session.");
  return *module.ClientSession;
}

// The worksheet of the session as a list of its own. Entries are looked up
// by their exact text.
StringList ReadWorksheet(Session& session) {
  StringList worksheet;
  worksheet.SetCaseSensitive(true);
  worksheet.SetCommaText(session.GetVar(kWorksheetVar).ToString());
  return worksheet;
}

void StoreWorksheet(Session& session, const StringList& worksheet) {
  session.SetVar(kWorksheetVar, Variant(worksheet.CommaText()));
}

// Carries out a rearranging action on the entry at index i (-1 when the
// entry is not on the worksheet). False for an action that does not rearrange.
bool Rearrange(const std::string& action, int i, StringList& worksheet) {
  const int last = worksheet.Count() - 1;
  if (action == "remove") {
    if (i != -1) worksheet.Delete(i);
  } else if (action == "moveup") {
    if (i > 0) worksheet.Move(i, i - 1);
  } else if (action == "movedn") {
    if (i != -1 && i < last) worksheet.Move(i, i + 1);
  } else if (action == "top") {
    if (i != -1) worksheet.Move(i, 0);
  } else if (action == "bottom") {
    if (i != -1) worksheet.Move(i, last);
  } else if (action == "clearall") {
    worksheet.Clear();
  } else {
    return false;
  }
  return true;
}

// Writes the section "body" once per entry, with the entry's problem page.
// An entry that is not a decimal number raises the conversion error when its
// row is reached.
void WriteWorksheetRows(MathDatabase& database, const SectionedTemplate& page,
                        const StringList& worksheet, MemoryStream& out) {
  if (worksheet.Empty()) return;
  TemplateSection& body = page.SectionByName("body");
  for (int k = 0; k < worksheet.Count(); ++k) {
    const std::string& entry = worksheet[k];
    StringList lines;
    database.GetPageText(entry, lines, pkProblem, kGraphicsScript);
    const int32_t position = StrToInt(entry);
    body.SetVar("endpcode", Variant(database.GetCode(position).value_or("").substr(0, 3)));
    body.SetVar("num", Variant(NumberImagesProblem(int64_t{position} + 1)));
    body.SetVar("wnum", Variant(NumberImagesProblem(int64_t{k} + 1)));
    body.SetVar("id", Variant(FormatZeroPadded("%.6d", position)));
    body.SetVar("level", Variant(database.GetLevel(position).value_or("")));
    body.SetVar("problem", Variant(lines.Text()));
    body.WriteToStream(out);
  }
}

}  // namespace

// ---------------------------------------------------------------- wadd

void AddToWorksheetPage::Execute() {
  Session& session = SessionOf(*this);
  StringList worksheet = ReadWorksheet(session);
  const std::string entry = IntToStr(StrToInt(Param("id")));
  const char* alert;
  if (worksheet.IndexOf(entry) != -1) {
    alert = kAlreadyOnWorksheet;
  } else if (worksheet.Count() >= kMaxHandWorksheetEntries) {
    alert = kWorksheetFull;
  } else {
    worksheet.Add(entry);
    StoreWorksheet(session, worksheet);
    alert = kProblemAdded;
  }
  Template->SectionByName("addtows").SetVar("alerttext", Variant(alert));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- edit1

void WorksheetEditorPage::WriteGenerationFrame() {
  Params.SetValue("action", "gensheet");
  std::string query;
  for (int i = 1; i < Params.Count(); ++i) {
    if (i > 1) query += '&';
    query += Params[i];
  }
  // The items are the request's, decoded: the frame's address gets them
  // percent-encoded, with only the "&" and "=" that join them left as they
  // are, so the frame's request reads back the same items.
  TemplateSection& frame = Template->SectionByName("framepage");
  frame.SetVar("editparams", Variant(EncodeUrlInAttribute(query, "&=")));
  frame.WriteToStream(*OutStream);
}

void WorksheetEditorPage::Execute() {
  MathDatabase& database = Context.Database;
  Session& session = SessionOf(*this);
  StringList worksheet = ReadWorksheet(session);
  const std::string action = Param("action");
  const std::string entry = IntToStr(StrToIntDef(Param("id"), -1));

  if (action == "gensheet_main") {
    WriteGenerationFrame();
    return;
  }
  Template->SectionByName("header").WriteToStream(*OutStream);

  if (action == "gensheet") {
    const std::string token = Param(kTokenVar);
    if (token != session.GetVar(kTokenVar).ToString()) {
      GenerateSheetVersions(Params, database, Context.Host.UtcMillisecondsOfDay(), session, worksheet);
      StoreWorksheet(session, worksheet);
      session.SetVar(kTokenVar, Variant(token));
    }
  } else if (Rearrange(action, worksheet.IndexOf(entry), worksheet)) {
    StoreWorksheet(session, worksheet);
  }

  WriteWorksheetRows(database, *Template, worksheet, *OutStream);
  TemplateSection& footer = Template->SectionByName("footer");
  SetSheetCodeSlots(database, session, worksheet, footer);
  footer.WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- creator

void WorksheetCreatorPage::Execute() {
  const MathDatabase& database = Context.Database;
  TemplateSection& body = Template->SectionByName("body");
  for (const std::string& key : WorksheetGroupKeys(database)) {
    const int32_t count = database.CountPrefix(key);
    body.SetVar("L" + key, Variant(IntToStr(count)));
    body.SetVar("V" + key, Variant(count));
  }
  // Beyond the form's counts: how many problems the worksheet it would replace holds.
  if (ClientSession != nullptr) body.SetVar("wcount", Variant(ReadWorksheet(*ClientSession).Count()));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- statistic

void WorksheetStatisticsPage::Execute() {
  const MathDatabase& database = Context.Database;
  const StringList worksheet = ReadWorksheet(SessionOf(*this));
  StringList tally;
  for (const std::string& key : WorksheetGroupKeys(database)) tally.Add(key + "=0");

  // A code that is not a tallied group has no value, whose conversion fails.
  std::vector<std::string> codes;
  codes.reserve(static_cast<size_t>(worksheet.Count()));
  for (int i = 0; i < worksheet.Count(); ++i) {
    codes.push_back(database.GetCode(TryStrToInt(worksheet[i]).value_or(-1)).value_or(""));
    const std::string& key = codes.back();
    tally.SetValue(key, IntToStr(int64_t{StrToInt(tally.Value(key))} + 1));
  }
  TemplateSection& body = Template->SectionByName("body");
  for (const std::string& key : codes) body.SetVar("L" + key, Variant(tally.Value(key)));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- worksheet

void WorksheetCounterPage::Execute() {
  const StringList worksheet = ReadWorksheet(SessionOf(*this));
  Template->SectionByName("body").SetVar("wcounter", Variant(DigitImages(IntToStr(worksheet.Count()))));
  Template->WriteToStream(*OutStream);
}

}  // namespace qil
