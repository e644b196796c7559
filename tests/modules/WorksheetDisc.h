// A small disc for the worksheet tests: the five worksheet templates with
// plain-text sections, and a problem bank whose positions are known.
//
//   endpoints A01, B02, C12, D04 (D04 has no problems)
//   A011  3 problems  positions 0..2   (position 1 shows the picture M_image1.gif)
//   A012  2 problems  positions 3..4
//   B023 12 problems  positions 5..16
//   C121  3 problems  positions 17..19
//   C124  2 problems  positions 20..21 (read as C123 by this edition)
//
// WorksheetPages serves that disc in process: the archive packed from the
// folder, the edition's database loaded from it, a module manager with the
// worksheet modules and the database registered, and a headless platform with
// a fixed time of day installed for the object's lifetime.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "framework/ModuleManager.h"
#include "mathdb/BankFixture.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/PageContext.h"
#include "platform/headless/HeadlessPlatform.h"
#include "richtext/RichTextEditor.h"

namespace qil::test {

// Writes the templates and the bank described above into root. mapping, when
// not empty, becomes db/endpoint-mapping.txt.
void WriteWorksheetDisc(const std::filesystem::path& root, const std::string& mapping = "");

// Packs a source folder into an archive file as `qilcd pack` does.
void PackDisc(const std::filesystem::path& root, const std::filesystem::path& archive);

// Replaces every problem-number digit picture of html by its digit and every
// separator picture by ",", and every counter digit picture by its digit
// followed by "#": the rows read as numbers, and anything else stays visible.
std::string ShowDigits(std::string html);

// The draws of one group as the generator must make them, computed here from
// the published rule: seed the time of day, then per draw seed := seed *
// 134775813 + 1 (mod 2^32) and offset := (count * seed) >> 32, drawing again
// while first + offset is in taken. Adds the n positions to taken.
void ExpectGroupDraws(uint32_t time_of_day, int32_t first, int32_t count, int32_t n,
                      std::set<int32_t>& taken);

// The row the editor's test template shows for the problem at position,
// place being its 1-based place on the worksheet, digit pictures as digits.
std::string Row(int place, int32_t position);
// The editor's page (header, rows, footer) for a worksheet of problems of the
// disc, in that order, digit pictures as digits.
std::string EditorPage(const std::vector<int32_t>& positions);

// The sorted positions as worksheet text ("1,5,17").
std::string WorksheetText(const std::set<int32_t>& positions);

class WorksheetPages {
 public:
  explicit WorksheetPages(const std::string& mapping = "");
  ~WorksheetPages();
  WorksheetPages(const WorksheetPages&) = delete;
  WorksheetPages& operator=(const WorksheetPages&) = delete;

  // The body answered for address (a path with query, such as
  // "edit1.stmp?action=top&id=5"); content type must stay "text/html".
  std::string Get(const std::string& address);

  std::string Var(const std::string& name) { return manager_->DefaultSession()->GetVar(name).ToString(); }
  void SetVar(const std::string& name, const std::string& value);
  void SetTimeOfDay(uint32_t milliseconds) { platform_.SetFixedTimeOfDay(milliseconds); }

 private:
  TempDir dir_;
  ArchiveReader archive_;
  LevelFoldingDatabase database_;
  HeadlessPlatform platform_;
  RichTextEditor editor_;
  PageContext context_{database_, editor_, platform_, "Orvella"};
  std::unique_ptr<ModuleManager> manager_;
};

}  // namespace qil::test
