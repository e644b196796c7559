// The classroom server put together: the engine on a disc, the site that
// answers HTTP with it, the access log and the HTTP front.
//
// Construction starts everything and listens; it raises Exception with a
// message for the teacher when the disc does not open (its header, names or
// database fail to load), the key file is unusable, the log cannot be opened
// or the address cannot be listened on. Then requests are answered on the
// front's threads until Shutdown. One server per process (the engine is
// process-wide); construct and shut down on one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "classroom/AccessLog.h"
#include "classroom/ClassroomPlatform.h"
#include "classroom/HttpServer.h"

namespace qil {

class ClassroomSite;
class Engine;

struct ClassroomOptions {
  std::string archive = "math.dat";
  HttpServerOptions http;
  std::string keyFile;                 // "" = a new random key for this run
  std::string logPath;                 // "" = standard output
  int64_t sessionSeconds = 12 * 3600;  // how long a student's worksheet lasts unused
};

class ClassroomServer {
 public:
  explicit ClassroomServer(const ClassroomOptions& options);
  ~ClassroomServer();

  ClassroomServer(const ClassroomServer&) = delete;
  ClassroomServer& operator=(const ClassroomServer&) = delete;

  uint16_t Port() const { return http_->Port(); }

  // Opens the access log again; "" on success, otherwise why not.
  std::string ReopenLog() { return log_.Reopen(); }

  // Takes no new connections, lets the requests in progress finish (waiting
  // at most grace) and stops. True when none had to be cut off.
  bool Shutdown(std::chrono::milliseconds grace);

 private:
  ClassroomPlatform platform_;
  AccessLog log_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<ClassroomSite> site_;
  std::unique_ptr<HttpServer> http_;
};

}  // namespace qil
