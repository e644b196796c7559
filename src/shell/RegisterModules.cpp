// The registrations of start-up: the math database, the page context, which
// page module serves which template, and the named shared objects. Each
// subsystem that brings page modules or shared objects adds its lines here,
// in the product's order.
#include <memory>
#include <system_error>

#include "archive/ArchiveReader.h"
#include "framework/ModuleManager.h"
#include "framework/Session.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/BrowsePages.h"
#include "modules/ClipboardPage.h"
#include "modules/SheetPages.h"
#include "modules/WorksheetPages.h"
#include "platform/Platform.h"
#include "richtext/RichTextEditor.h"
#include "richtext/RichTextStyle.h"
#include "shell/Engine.h"

namespace qil {

namespace {

// The rich-text components: the style sheet and the hidden editor that
// merges clipboard documents.
struct RichTextComponents : public ListObject {
  std::shared_ptr<RichTextStyle> Style = std::make_shared<RichTextStyle>();
  std::shared_ptr<RichTextEditor> Editor = std::make_shared<RichTextEditor>(Style);
};

// The page context, kept by the engine as long as the manager runs.
struct KeptContext : public ListObject {
  explicit KeptContext(PageContext context) : Context(std::move(context)) {}
  PageContext Context;
};

}  // namespace

void RegisterModules(Engine& engine) {
  ModuleManager& manager = engine.Manager();

  // The math database. Load failures ("Wrong Math DB version.", a damaged
  // index) end start-up. An archive without a data region has no database:
  // the pages then see an empty one.
  MathDatabase& db = engine.Keep(std::make_unique<LevelFoldingDatabase>());
  if (engine.Options().BundleCacheCapacity > 0) db.SetCacheCapacity(engine.Options().BundleCacheCapacity);
  if (engine.Archive().DataRegionSize() > 0) db.Load(engine.Archive());
  RichTextComponents& richtext = engine.Keep(std::make_unique<RichTextComponents>());
  const PageContext& context =
      engine.Keep(std::make_unique<KeptContext>(
                      PageContext{db, *richtext.Editor, CurrentPlatform(), Engine::kProductName}))
          .Context;

  // Page modules, in the product's table order.
  RegisterPage<ProblemListPage>(manager, "mathlist", context);
  RegisterPage<ProblemListPage>(manager, "alsonaviga", context);
  RegisterPage<ProblemListPage>(manager, "problem_lent", context);
  RegisterPage<ProblemPicturePage>(manager, "mathgfx", context);
  RegisterPage<SolutionPage>(manager, "solution", context);
  RegisterPage<IndexPage>(manager, "main", context);
  RegisterPage<GotoPage>(manager, "mathgoto", context);
  RegisterPage<ClipboardPage>(manager, "clipbo", context);
  RegisterPage<AddToWorksheetPage>(manager, "wadd", context);
  RegisterPage<WorksheetEditorPage>(manager, "edit1", context);
  RegisterPage<WorksheetStatisticsPage>(manager, "statistic", context);
  RegisterPage<WorksheetCreatorPage>(manager, "creator", context);
  RegisterPage<WorksheetCounterPage>(manager, "worksheet", context);
  // Beyond the product's table: worksheets by their sheet codes.
  RegisterPage<SheetCodePage>(manager, "sheet", context);
  RegisterPage<SheetPdfPage>(manager, "sheetpdf", context);

  // The named objects of the registration table, for templates and
  // extensions that look them up; the pages above use their context.
  manager.RegisterObject("MathDBManager", &db);
  manager.RegisterObject(
      "PRODUCTNAME",
      &engine.Keep(std::make_unique<ScriptConstant>(Variant(Engine::kProductName))));
  manager.RegisterObject("RichViewEdit", richtext.Editor.get());
  manager.RegisterObject("RVStyle", richtext.Style.get());
}

}  // namespace qil
