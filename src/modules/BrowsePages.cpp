#include "modules/BrowsePages.h"

#include <algorithm>
#include <limits>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "base/Text.h"
#include "mathdb/MathDatabase.h"
#include "mathdb/NumberImages.h"

namespace qil {

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

bool FitsInt32(int64_t value) { return value >= kInt32Min && value <= kInt32Max; }

}  // namespace

// ---------------------------------------------------------------------------
// ProblemListPage

void ProblemListPage::Execute() {
  MathDatabase& db = Context.Database;

  // The endpoint and the list page: named outright, or the page that holds
  // the problem numbered "start".
  std::string endpoint;
  std::string packet;
  const std::string main = Param("main");
  if (main.empty()) {
    const std::string start = Param("start");
    const int64_t position = int64_t{StrToInt(start)} - 1;
    const std::string code = db.GetCode(position).value_or("");
    if (code.size() < 3) throw PageError("There is no problem numbered " + start + ".");
    endpoint = code.substr(0, 3);
    const int64_t ordinal = db.GetOrdinalInPrefix(endpoint, static_cast<int32_t>(position));
    packet = IntToStr((ordinal + kPageSize - 1) / kPageSize);
  } else {
    endpoint = main + Param("sub");
    packet = Param("packet");
  }
  if (packet.empty()) packet = "1";

  const std::string& name = Template->Name();
  if (SameText(name, "mathlist")) WriteList(db, endpoint, packet);
  if (SameText(name, "problem_lent")) WriteLevels(db, endpoint);
  if (SameText(name, "alsonaviga")) WriteNavigation(db, endpoint);
}

void ProblemListPage::WriteList(MathDatabase& db, const std::string& endpoint,
                              const std::string& packet) {
  TemplateSection& header = Template->SectionByName("header");
  TemplateSection& body = Template->SectionByName("body");
  TemplateSection& footer = Template->SectionByName("footer");
  header.WriteToStream(*OutStream);

  // first and last count within the endpoint, from 1. A page before the
  // first one, or beyond the last, has no rows.
  const int64_t page = StrToInt(packet);
  const int64_t total = db.GetEndpointCount(endpoint);
  const int64_t first = (page - 1) * kPageSize + 1;
  const int64_t last = std::min(first + kPageSize - 1, total);
  // Rows come only from records that match the whole endpoint as written.
  const std::optional<int32_t> found =
      page >= 1 && first <= last ? db.FindNthProblem(endpoint, static_cast<int32_t>(first)) : std::nullopt;
  if (found) {
    // The endpoint is the request's "main" + "sub" as written (only its first
    // three characters select the rows). The templates put it into HTML text,
    // an attribute and a link's path, so it is percent-encoded: safe in all
    // three, and a real endpoint code (letters and digits) stays as it is.
    const std::string endpcode = EncodeUrlInAttribute(endpoint);
    const int64_t start = *found;
    const int64_t end = std::min(start + (last - first), kInt32Max - 1);
    for (int64_t position = start; position <= end; ++position) {
      const std::string id = ProblemID(static_cast<int32_t>(position));
      StringList lines;
      db.GetPageText(id, lines, pkProblem, kGraphicsScript);
      body.SetVar("aname", "p" + id);
      body.SetVar("endpcode", endpcode);
      body.SetVar("num", NumberImagesProblem(static_cast<int32_t>(position + 1)));
      body.SetVar("id", id);
      body.SetVar("level", db.GetLevel(position).value_or(""));
      body.SetVar("problem", lines.Text());
      body.WriteToStream(*OutStream);
    }
  }

  footer.WriteToStream(*OutStream);
}

void ProblemListPage::WriteLevels(MathDatabase& db, const std::string& endpoint) {
  for (char level = '1'; level <= '4'; ++level) {
    TemplateSection& section = Template->SectionByName(std::string("level") + level);
    const std::string prefix = endpoint + level;
    if (db.CountPrefix(prefix) == 0) {
      section.SetVisible(false);
      continue;
    }
    const int32_t position = db.FindNthProblem(prefix, 1).value_or(0);  // found: counted above
    section.SetVar(std::string("l") + level + "id", ProblemID(position));
    section.SetVar(std::string("l") + level + "start", IntToStr(int64_t{position} + 1));
  }
  Template->WriteToStream(*OutStream);
}

void ProblemListPage::WriteNavigation(MathDatabase& db, const std::string& endpoint) {
  TemplateSection& body = Template->SectionByName("body");
  // An endpoint without problems shows the range from 1 to its count (0).
  const int64_t first = db.FindNthProblem(endpoint, 1).value_or(0);
  body.SetVar("mlo", IntToStr(first + 1));
  body.SetVar("mhi", IntToStr(first + db.GetEndpointCount(endpoint)));
  body.SetVar("n", kPageSize);
  body.SetVar("goto", StrToIntDef(Param("start"), -1));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------------------
// SolutionPage

namespace {

// Whether the session's worksheet list holds the position.
bool OnWorksheet(Session* session, int32_t position) {
  if (session == nullptr) return false;
  StringList worksheet;
  worksheet.SetCommaText(session->GetVar("ws").ToString());
  return worksheet.IndexOf(IntToStr(position)) >= 0;
}

}  // namespace

void SolutionPage::Execute() {
  MathDatabase& db = Context.Database;
  const std::string id = Param("id");
  const int32_t position = StrToInt(id);
  // A position without a problem number (negative, or one whose number does
  // not fit 32 bits) cannot be shown or linked back to.
  if (position < 0 || position == kInt32Max) throw PageError("'" + id + "' is not a problem ID.");

  TemplateSection& body = Template->SectionByName("body");
  body.SetVar("num", NumberImagesProblem(position + 1));
  // The id as the request wrote it (blanks and a sign may come with the
  // digits) goes into the page's links.
  body.SetVar("id", EncodeUrlInAttribute(id));
  body.SetVar("level", db.GetLevel(position).value_or(""));
  body.SetVar("endpcode", db.GetCode(position).value_or("").substr(0, 3));
  body.SetVar("backlink",
              "mathlist.stmp?start=" + IntToStr(position + 1) + "#p" + ProblemID(position));
  if (OnWorksheet(ClientSession, position)) {
    body.SetVar("added_comment0", "<!--");
    body.SetVar("added_comment1", "-->");
  }

  StringList lines;
  db.GetPageText(id, lines, pkProblem, kGraphicsScript);
  body.SetVar("problem", lines.Text());
  lines.Clear();
  db.GetPageText(id, lines, pkSolution, kGraphicsScript);
  body.SetVar("solution", lines.Text());
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------------------
// GotoPage

void GotoPage::Execute() {
  MathDatabase& db = Context.Database;
  const int64_t position = int64_t{StrToIntDef(Param("goto"), 0)} - 1;
  const std::string code = db.GetCode(position).value_or("");
  if (position == -1 || code.empty()) {
    Redirect(kGotoErrorPage);
    return;
  }

  // GetCode found a record, so the position lies inside the index.
  TemplateSection& body = Template->SectionByName("body");
  body.SetVar("id", ProblemID(static_cast<int32_t>(position)));
  body.SetVar("start", static_cast<int32_t>(position + 1));
  body.SetVar("main", code.substr(0, 1));
  body.SetVar("sub", code.substr(1, 2));
  body.SetVar("titlepage", db.GetMenuValue("s" + code.substr(0, 3)));
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------------------
// IndexPage

void IndexPage::Execute() {
  MathDatabase& db = Context.Database;
  TemplateSection& body = Template->SectionByName("body");
  const StringList& counts = db.Counts();
  int64_t next = 1;  // the number of the next endpoint's first problem
  for (int i = 0; i < counts.Count(); ++i) {
    const int64_t count = StrToInt(counts.ValueFromIndex(i));
    const int64_t last = next + count - 1;
    std::string range = "[---]";
    if (count != 0) {
      // Counts that add up beyond the largest problem number are damaged.
      if (!FitsInt32(next) || !FitsInt32(last)) {
        throw PageError("The problem count of " + counts.Name(i) + " is out of range.");
      }
      range = "[" + FormatThousands(static_cast<int32_t>(next)) + "-" +
              FormatThousands(static_cast<int32_t>(last)) + "]";
    }
    body.SetVar("range" + counts.Name(i), range);
    next = last + 1;
  }
  Template->WriteToStream(*OutStream);
}

// ---------------------------------------------------------------------------
// ProblemPicturePage

void ProblemPicturePage::Execute() {
  MathDatabase& db = Context.Database;
  MemoryStream picture;
  db.GetGraphic(Param("ID"), Param("gfx"), picture);
  OutStream->Write(picture.View());
  ContentType = "application/octet-stream";
}

}  // namespace qil
