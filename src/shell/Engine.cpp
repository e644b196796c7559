#include "shell/Engine.h"

#include "archive/CDArch.h"
#include "base/Exceptions.h"
#include "protocol/CDEServer.h"

namespace qil {

TEngine::TEngine(const TEngineOptions& options) {
  try {
    archive_ = std::make_unique<TCDArchiver>();
    archive_->Open(options.ArchivePath, options.ProductId, false);
    if (options.AfterArchiveOpened) options.AfterArchiveOpened();
    server_ = std::make_unique<TCDEServer>(*archive_, options.MIMETypesPath);
    RegisterModules(*this);
    server_->RegisterNamespace(kSchemeName);
  } catch (...) {
    Shutdown();
    throw;
  }
}

TEngine::~TEngine() { Shutdown(); }

TSimpleCGIManager& TEngine::Manager() { return server_->Manager(); }

void TEngine::StopServing() {
  if (!server_) return;
  server_->UnregisterNamespace();
  server_.reset();
}

void TEngine::Shutdown() {
  StopServing();
  if (archive_) {
    archive_->Close();
    archive_.reset();
  }
  kept_.clear();
}

std::unique_ptr<TEngine> StartEngine(const TEngineOptions& options, std::string& errorMessage) {
  try {
    return std::make_unique<TEngine>(options);
  } catch (const Exception& error) {
    errorMessage = error.Message();
  } catch (const std::exception& error) {
    errorMessage = error.what();
  }
  return nullptr;
}

}  // namespace qil
