// The registrations of start-up: the math database, which page module serves
// which template, and which shared objects the modules find by name. Each
// subsystem that brings page modules or shared objects adds its lines here,
// in the product's order.
#include <memory>
#include <system_error>

#include "archive/CDArch.h"
#include "framework/CDECGI.h"
#include "framework/Session.h"
#include "mathdb/ZorbikMathDB.h"
#include "modules/MathClipboardModules.h"
#include "modules/MathWSModules.h"
#include "modules/MathWebModules.h"
#include "richtext/RVPrint.h"
#include "richtext/RVStyle.h"
#include "richtext/RichViewEdit.h"
#include "shell/Engine.h"

namespace qil {

namespace {

// The rich-text components that sit on the desktop program's browser window:
// the style sheet, the hidden editor that merges clipboard documents, and the
// print and print-preview components. Without windows the engine keeps them.
struct TRichTextComponents : public TObject {
  std::shared_ptr<TRVStyle> Style = std::make_shared<TRVStyle>();
  std::shared_ptr<TRichViewEdit> Editor = std::make_shared<TRichViewEdit>(Style);
  std::shared_ptr<TRVPrint> Print = std::make_shared<TRVPrint>(Editor);
  std::shared_ptr<TRVPrintPreview> Preview = std::make_shared<TRVPrintPreview>(Print);
};

}  // namespace

void RegisterModules(TEngine& engine) {
  TSimpleCGIManager& manager = engine.Manager();

  // The math database. Load failures ("Wrong Math DB version.", a damaged
  // index) end start-up. An archive without a data region has no database:
  // the pages then see an empty one.
  TMathDBManager& db = engine.Keep(std::make_unique<TZorbikMathDB>());
  if (engine.Archive().DataRegionSize() > 0) db.Load(engine.Archive());

  // Page modules, in the product's table order.
  manager.RegisterModule<TCGI_mathlist>("mathlist");
  manager.RegisterModule<TCGI_mathlist>("alsonaviga");
  manager.RegisterModule<TCGI_mathlist>("problem_lent");
  manager.RegisterModule<TCGI_mathgfx>("mathgfx");
  manager.RegisterModule<TCGI_getmath>("solution");
  manager.RegisterModule<TCGI_mathindex>("main");
  manager.RegisterModule<TCGI_mathgoto>("mathgoto");
  manager.RegisterModule<TCGI_mathclipbo>("clipbo");
  manager.RegisterModule<TCGI_addtows>("wadd");
  manager.RegisterModule<TCGI_wsedit>("edit1");
  manager.RegisterModule<TCGI_wsstats>("statistic");
  manager.RegisterModule<TCGI_wsgen>("creator");
  manager.RegisterModule<TCGI_wscounter>("worksheet");

  // Shared objects.
  manager.RegisterObject("MathDBManager", &db);
  manager.RegisterObject(
      "PRODUCTNAME",
      &engine.Keep(std::make_unique<TScriptVarObj>(TVariant(TEngine::kProductName))));
  TRichTextComponents& richtext = engine.Keep(std::make_unique<TRichTextComponents>());
  manager.RegisterObject("RichViewEdit", richtext.Editor.get());
  manager.RegisterObject("RVPrint", richtext.Print.get());
  manager.RegisterObject("RVPrintPreview", richtext.Preview.get());
  manager.RegisterObject("RVStyle", richtext.Style.get());
}

}  // namespace qil
