// Sheet codes on the pages: the worksheet editor shows the code of the
// worksheet (and of every version of a generated one), and the page "sheet"
// opens the worksheet a typed code names.
//
// Session variables besides "ws": after a generation, "genws" holds version
// A's worksheet as drawn, "gencodes" the codes of all versions (comma text)
// and "genshared" how many draws the versions had to share. While "ws" still
// equals "genws" the editor shows those codes (short: seed and counts);
// otherwise the code of the list itself (up to kMaxListed problems).
//
//   "sheet"    SheetCodePage  item "code": a list code replaces the worksheet
//              by its problems, a generated code draws its version again;
//              then the browser goes on to the editor. A code that does not
//              decode, or that the generator cannot draw, answers the section
//              "error" with the slots "code" (the text as typed, escaped) and
//              "message"; the worksheet is not touched.
//   "sheetpdf" SheetPdfPage   the worksheet (or, with the item "code", the
//              sheet of that code) as a PDF with its code on every page; the
//              item "key" = "1" adds the answer key, "paper" = "letter" sets
//              Letter instead of A4. The PDF is offered to the platform to
//              save (Platform::SaveDocument); the page answers the section
//              "saved" (slot "file") or "notsaved" (slot "message").
// Created per request; one request at a time, like every page module.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "modules/PageContext.h"
#include "modules/WorksheetGenerator.h"

namespace qil {

class MathDatabase;
class Session;
class StringList;
class TemplateSection;

class SheetCodePage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

class SheetPdfPage : public DiscPage {
 public:
  using DiscPage::DiscPage;
  void Execute() override;
};

// Draws a generation of versions of the worksheet for the request's counts
// (at seed), puts version A into worksheet and keeps the codes in session.
// A request that asks for nothing leaves worksheet and session as they are.
void GenerateSheetVersions(const StringList& params, MathDatabase& database, uint32_t seed, Session& session,
                           StringList& worksheet);

// Sets the editor's slots "sheetcode" (the code, or "" when the worksheet
// has none), "versions" (list items linking every version's code, or "")
// and "shared" (a sentence on shared problems, or "") in section.
void SetSheetCodeSlots(MathDatabase& database, Session& session, const StringList& worksheet,
                       TemplateSection& section);

}  // namespace qil
