#include "platform/Platform.h"

#include <atomic>
#include <chrono>

#include "platform/headless/HeadlessPlatform.h"

namespace qil {

namespace {
std::atomic<Platform*> installed{nullptr};

Platform& DefaultPlatform() {
  static HeadlessPlatform headless;
  return headless;
}
}  // namespace

bool Platform::SaveDocument(const std::string&, const std::string&, const std::string&) { return false; }

uint32_t SystemUtcMillisecondsOfDay() {
  using namespace std::chrono;
  const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(now % 86400000);
}

Platform& CurrentPlatform() {
  Platform* platform = installed.load();
  return platform ? *platform : DefaultPlatform();
}

void SetCurrentPlatform(Platform* platform) { installed.store(platform); }

}  // namespace qil
