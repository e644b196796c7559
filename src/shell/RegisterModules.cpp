// The registrations of start-up: the math database, which page module serves
// which template, and which shared objects the modules find by name. Each
// subsystem that brings page modules or shared objects adds its lines here,
// in the product's order.
#include <memory>
#include <system_error>

#include "archive/ArchiveReader.h"
#include "framework/ModuleManager.h"
#include "framework/Session.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/ClipboardPage.h"
#include "modules/WorksheetPages.h"
#include "modules/BrowsePages.h"
#include "richtext/RichTextStyle.h"
#include "richtext/RichTextEditor.h"
#include "shell/Engine.h"

namespace qil {

namespace {

// The rich-text components: the style sheet and the hidden editor that
// merges clipboard documents.
struct RichTextComponents : public ListObject {
  std::shared_ptr<RichTextStyle> Style = std::make_shared<RichTextStyle>();
  std::shared_ptr<RichTextEditor> Editor = std::make_shared<RichTextEditor>(Style);
};

}  // namespace

void RegisterModules(Engine& engine) {
  ModuleManager& manager = engine.Manager();

  // The math database. Load failures ("Wrong Math DB version.", a damaged
  // index) end start-up. An archive without a data region has no database:
  // the pages then see an empty one.
  MathDatabase& db = engine.Keep(std::make_unique<LevelFoldingDatabase>());
  if (engine.Archive().DataRegionSize() > 0) db.Load(engine.Archive());

  // Page modules, in the product's table order.
  manager.RegisterModule<ProblemListPage>("mathlist");
  manager.RegisterModule<ProblemListPage>("alsonaviga");
  manager.RegisterModule<ProblemListPage>("problem_lent");
  manager.RegisterModule<ProblemPicturePage>("mathgfx");
  manager.RegisterModule<SolutionPage>("solution");
  manager.RegisterModule<IndexPage>("main");
  manager.RegisterModule<GotoPage>("mathgoto");
  manager.RegisterModule<ClipboardPage>("clipbo");
  manager.RegisterModule<AddToWorksheetPage>("wadd");
  manager.RegisterModule<WorksheetEditorPage>("edit1");
  manager.RegisterModule<WorksheetStatisticsPage>("statistic");
  manager.RegisterModule<WorksheetCreatorPage>("creator");
  manager.RegisterModule<WorksheetCounterPage>("worksheet");

  // Shared objects.
  manager.RegisterObject("MathDBManager", &db);
  manager.RegisterObject(
      "PRODUCTNAME",
      &engine.Keep(std::make_unique<ScriptConstant>(Variant(Engine::kProductName))));
  RichTextComponents& richtext = engine.Keep(std::make_unique<RichTextComponents>());
  manager.RegisterObject("RichViewEdit", richtext.Editor.get());
  manager.RegisterObject("RVStyle", richtext.Style.get());
}

}  // namespace qil
