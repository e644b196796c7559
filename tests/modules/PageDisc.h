// The disc of a page test: templates and a problem bank written to a
// temporary folder, packed as `qilcd pack` packs, and served by an engine in
// this process as the program serves it, on a headless platform that keeps
// the clipboard and whose time of day is fixed (0 until a test sets it).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "archive/PackFolder.h"
#include "common/Qilcd.h"
#include "framework/ModuleManager.h"
#include "framework/Session.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/BankFixture.h"
#include "platform/headless/HeadlessPlatform.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"

namespace qil::test {

class PageDisc {
 public:
  // templates: file name -> text; bank adds the problems and db/ lists.
  PageDisc(const std::map<std::string, std::string>& templates, const std::function<void(BankSource&)>& bank) {
    for (const auto& [name, text] : templates) WriteFile(dir.Path() / "src" / name, text);
    BankSource source(dir.Path() / "src");
    bank(source);
    PackOptions options;
    AddProblemBankToPacking(options);
    PackFolder(source.Root(), dir.Path() / "math.dat", options);
    host.SetFixedTimeOfDay(0);
    SetCurrentPlatform(&host);
    EngineOptions engine_options;
    engine_options.ArchivePath = dir.File("math.dat");
    std::string error;
    engine = StartEngine(engine_options, error);
    EXPECT_NE(engine, nullptr) << error;
  }
  ~PageDisc() {
    engine.reset();
    SetCurrentPlatform(nullptr);
  }

  FetchResult Fetch(const std::string& path) { return FetchAddress("qilproto://qilproto_local/" + path); }
  std::string Get(const std::string& path) { return Fetch(path).Body; }
  std::string Var(const std::string& name) { return engine->Manager().DefaultSession()->GetVar(name).ToString(); }
  void SetVar(const std::string& name, const std::string& value) {
    engine->Manager().DefaultSession()->GetVar(name);
    engine->Manager().DefaultSession()->SetVar(name, Variant(value));
  }

  TempDir dir{TempPlace::kMemory};
  HeadlessPlatform host;
  std::unique_ptr<Engine> engine;
};

// What follows the opening of the module manager's error page in body (the
// address, a quote, CR LF, the message, "</pre>"); "" when body holds none.
inline std::string Failure(const std::string& body) {
  const size_t at = body.find(kErrorPageOpenings[0]);
  return at == std::string::npos ? "" : body.substr(at + kErrorPageOpenings[0].size());
}

}  // namespace qil::test
