// Engine start-up and shutdown, shared by the desktop program and qilcd.
//
// Start-up, in order: open the content archive (by default "math.dat" in the
// current directory, product ID "QVRTLNDX100"), run the caller's checks
// (AfterArchiveOpened), create the content server
// (which creates the module manager and the MIME table), run
// RegisterModules (math database, page modules and shared objects), and
// register the scheme "qilproto", after which protocol handlers reach the
// server. A failure raises qil::Exception carrying the text the error box
// shows; whatever was started is shut down again first.
//
// Shutdown (the destructor), in order: unregister the scheme, free the server
// with its manager, close and free the archive, then free the objects kept
// with Keep (the math database, the product name).
//
// Exactly one engine should exist at a time: the scheme's request handler is
// process-wide. Not thread-safe; start and stop it on the main thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/StringList.h"
#include "protocol/MimeTypes.h"

namespace qil {

class ArchiveReader;
class ContentServer;
class ModuleManager;

struct EngineOptions {
  std::string ArchivePath = "math.dat";
  std::string ProductId = "QVRTLNDX100";
  std::string MIMETypesPath = MimeTypes::kSystemTable;
  // Metafile pictures answered drawn as SVG, for a viewer (see ContentServer.h).
  bool DisplayPictures = false;
  // Problem bundles the math database keeps in memory; 0 keeps its default.
  int BundleCacheCapacity = 0;
  // Runs right after the archive opened, before the server exists: the
  // desktop program's checks of its surroundings. Raising ends start-up.
  std::function<void()> AfterArchiveOpened;
};

class Engine {
 public:
  static constexpr const char* kSchemeName = "qilproto";
  static constexpr const char* kHostName = "qilproto_local";
  static constexpr const char* kProductName = "Orvella";

  explicit Engine(const EngineOptions& options = EngineOptions());
  ~Engine();

  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Withdraws the scheme and frees the server with its manager, the first
  // step of shutdown; the archive stays open until the engine goes.
  void StopServing();

  const EngineOptions& Options() const { return options_; }
  ArchiveReader& Archive() { return *archive_; }
  ContentServer& Server() { return *server_; }
  ModuleManager& Manager();

  // Keeps object alive until the archive is closed at shutdown; for the
  // objects that start-up registers with the manager. Returns it.
  template <class T>
  T& Keep(std::unique_ptr<T> object) {
    T& kept = *object;
    kept_.push_back(std::move(object));
    return kept;
  }

 private:
  void Shutdown();

  EngineOptions options_;
  std::unique_ptr<ArchiveReader> archive_;
  std::unique_ptr<ContentServer> server_;
  std::vector<std::unique_ptr<ListObject>> kept_;
};

// Creates and loads the math database (the edition's LevelFoldingDatabase, kept by
// the engine), then fills the engine's manager with the page modules
// (template name -> module class) and the shared objects ("MathDBManager",
// "PRODUCTNAME", ...), in the order the product registers them. A database
// that fails to load raises its error ("Wrong Math DB version."), which ends
// start-up; an archive without a data region (packed without a problem bank)
// gets an empty database. Runs once during start-up, after the server exists
// and before the scheme is registered. Defined in RegisterModules.cpp.
void RegisterModules(Engine& engine);

// Starts an engine. On failure answers nullptr and sets errorMessage to the
// text the error box shows.
std::unique_ptr<Engine> StartEngine(const EngineOptions& options, std::string& errorMessage);

}  // namespace qil
