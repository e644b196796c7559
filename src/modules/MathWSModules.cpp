#include "modules/MathWSModules.h"

#include <string>
#include <vector>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/Exceptions.h"
#include "mathdb/MathDB.h"
#include "mathdb/NumberImages.h"
#include "modules/MathWebModules.h"
#include "modules/WorksheetGenerator.h"
#include "protocol/EnvUtils.h"

namespace qil {

namespace {

constexpr const char* kWorksheetVar = "ws";
constexpr const char* kTokenVar = "rnd";

constexpr const char* kAlreadyOnWorksheet = "Warning!\\n\\nProblem already exists in Worksheet.";
constexpr const char* kWorksheetFull =
    "Warning!\\n\\nMaximum number of worksheet items already reached.";
constexpr const char* kProblemAdded = "Problem added to Worksheet.";

TSimpleSession& SessionOf(const TSimpleCGIModule& module) {
  if (module.Session == nullptr) throw Exception("The page has no session.");
  return *module.Session;
}

// The worksheet of the session as a list of its own. Entries are looked up
// by their exact text.
TStringList ReadWorksheet(TSimpleSession& session) {
  TStringList worksheet;
  worksheet.SetCaseSensitive(true);
  worksheet.SetCommaText(session.GetVar(kWorksheetVar).ToString());
  return worksheet;
}

void StoreWorksheet(TSimpleSession& session, const TStringList& worksheet) {
  session.SetVar(kWorksheetVar, TVariant(worksheet.CommaText()));
}

// Carries out a rearranging action on the entry at index i (-1 when the
// entry is not on the worksheet). False for an action that does not rearrange.
bool Rearrange(const std::string& action, int i, TStringList& worksheet) {
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
void WriteWorksheetRows(TMathDBManager& database, const TSectionedTemplate& page,
                        const TStringList& worksheet, TMemoryStream& out) {
  if (worksheet.Empty()) return;
  TSection& body = page.SectionByName("body");
  for (int k = 0; k < worksheet.Count(); ++k) {
    const std::string& entry = worksheet[k];
    TStringList lines;
    database.GetPageText(entry, lines, pkProblem, kGraphicsScript);
    const int32_t position = StrToInt(entry);
    body.SetVar("endpcode", TVariant(database.GetCode(entry).substr(0, 3)));
    body.SetVar("num", TVariant(NumberImagesProblem(int64_t{position} + 1)));
    body.SetVar("wnum", TVariant(NumberImagesProblem(int64_t{k} + 1)));
    body.SetVar("id", TVariant(FormatZeroPadded("%.6d", position)));
    body.SetVar("level", TVariant(database.GetLevel(entry)));
    body.SetVar("problem", TVariant(lines.Text()));
    body.WriteToStream(out);
  }
}

}  // namespace

// ---------------------------------------------------------------- wadd

void TCGI_addtows::Execute() {
  TSimpleSession& session = SessionOf(*this);
  TStringList worksheet = ReadWorksheet(session);
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
  Template->SectionByName("addtows").SetVar("alerttext", TVariant(alert));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- edit1

void TCGI_wsedit::WriteGenerationFrame() {
  Params.SetValue("action", "gensheet");
  std::string query;
  for (int i = 1; i < Params.Count(); ++i) {
    if (i > 1) query += '&';
    query += Params[i];
  }
  // The items are the request's, decoded: the frame's address gets them
  // percent-encoded, with only the "&" and "=" that join them left as they
  // are, so the frame's request reads back the same items.
  TSection& frame = Template->SectionByName("framepage");
  frame.SetVar("editparams", TVariant(EncodeUrlInAttribute(query, "&=")));
  frame.WriteToStream(*OutStream);
}

void TCGI_wsedit::Execute() {
  TMathDBManager& database = ModuleMathDB(*this);
  TSimpleSession& session = SessionOf(*this);
  TStringList worksheet = ReadWorksheet(session);
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
      GenerateWorksheet(Params, database, worksheet);
      StoreWorksheet(session, worksheet);
      session.SetVar(kTokenVar, TVariant(token));
    }
  } else if (Rearrange(action, worksheet.IndexOf(entry), worksheet)) {
    StoreWorksheet(session, worksheet);
  }

  WriteWorksheetRows(database, *Template, worksheet, *OutStream);
  Template->SectionByName("footer").WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- creator

void TCGI_wsgen::Execute() {
  const TMathDBManager& database = ModuleMathDB(*this);
  TSection& body = Template->SectionByName("body");
  for (const std::string& key : WorksheetGroupKeys(database)) {
    const int32_t count = database.CountPrefix(key);
    body.SetVar("L" + key, TVariant(IntToStr(count)));
    body.SetVar("V" + key, TVariant(count));
  }
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- statistic

void TCGI_wsstats::Execute() {
  const TMathDBManager& database = ModuleMathDB(*this);
  const TStringList worksheet = ReadWorksheet(SessionOf(*this));
  TStringList tally;
  for (const std::string& key : WorksheetGroupKeys(database)) tally.Add(key + "=0");

  // A code that is not a tallied group has no value, whose conversion fails.
  std::vector<std::string> codes;
  codes.reserve(static_cast<size_t>(worksheet.Count()));
  for (int i = 0; i < worksheet.Count(); ++i) {
    codes.push_back(database.GetCode(worksheet[i]));
    const std::string& key = codes.back();
    tally.SetValue(key, IntToStr(int64_t{StrToInt(tally.Value(key))} + 1));
  }
  TSection& body = Template->SectionByName("body");
  for (const std::string& key : codes) body.SetVar("L" + key, TVariant(tally.Value(key)));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------- worksheet

void TCGI_wscounter::Execute() {
  const TStringList worksheet = ReadWorksheet(SessionOf(*this));
  Template->SectionByName("body").SetVar("wcounter", TVariant(DigitImages(IntToStr(worksheet.Count()))));
  Template->WriteToStream(*OutStream);
}

}  // namespace qil
