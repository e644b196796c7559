#include "shell/Engine.h"

#include "archive/ArchiveReader.h"
#include "base/Exceptions.h"
#include "server/ContentServer.h"

namespace qil {

Engine::Engine(const EngineOptions& options) : options_(options) {
  try {
    archive_ = std::make_unique<ArchiveReader>();
    archive_->Open(options.ArchivePath, options.ProductId, false);
    if (options.AfterArchiveOpened) options.AfterArchiveOpened();
    server_ = std::make_unique<ContentServer>(*archive_, options.MIMETypesPath);
    server_->SetDisplayPictures(options.DisplayPictures);
    RegisterModules(*this);
    server_->RegisterNamespace(kSchemeName);
  } catch (...) {
    Shutdown();
    throw;
  }
}

Engine::~Engine() { Shutdown(); }

ModuleManager& Engine::Manager() { return server_->Manager(); }

void Engine::StopServing() {
  if (!server_) return;
  server_->UnregisterNamespace();
  server_.reset();
}

void Engine::Shutdown() {
  StopServing();
  if (archive_) {
    archive_->Close();
    archive_.reset();
  }
  kept_.clear();
}

std::unique_ptr<Engine> StartEngine(const EngineOptions& options, std::string& errorMessage) {
  try {
    return std::make_unique<Engine>(options);
  } catch (const Exception& error) {
    errorMessage = error.Message();
  } catch (const std::exception& error) {
    errorMessage = error.what();
  }
  return nullptr;
}

}  // namespace qil
