#include "classroom/ClassroomServer.h"

#include <limits>

#include "base/Exceptions.h"
#include "classroom/ClassroomSite.h"
#include "classroom/SessionCookies.h"
#include "shell/Engine.h"

namespace qil {

ClassroomServer::ClassroomServer(const ClassroomOptions& options) : log_(options.logPath) {
  SessionSealer sealer(options.keyFile.empty() ? RandomSessionKey() : ReadSessionKey(options.keyFile),
                       options.sessionSeconds);
  SetCurrentPlatform(&platform_);
  try {
    EngineOptions engine;
    engine.ArchivePath = options.archive;
    engine.DisplayPictures = true;
    // A class reads every topic at once: the whole bank stays in memory.
    engine.BundleCacheCapacity = std::numeric_limits<int>::max();
    std::string message;
    engine_ = StartEngine(engine, message);
    if (!engine_) throw Exception(options.archive + ": " + message);
    site_ = std::make_unique<ClassroomSite>(engine_->Server(), std::move(sealer));
    http_ = std::make_unique<HttpServer>(
        options.http, [this](const HttpRequest& request) { return site_->Handle(request); }, log_);
    http_->Start();
  } catch (...) {
    http_.reset();
    site_.reset();
    engine_.reset();
    SetCurrentPlatform(nullptr);
    throw;
  }
}

ClassroomServer::~ClassroomServer() {
  http_.reset();
  site_.reset();
  engine_.reset();
  SetCurrentPlatform(nullptr);
}

bool ClassroomServer::Shutdown(std::chrono::milliseconds grace) {
  http_->StopAccepting();
  const bool idle = http_->WaitIdle(grace);
  http_->Stop();
  return idle;
}

}  // namespace qil
