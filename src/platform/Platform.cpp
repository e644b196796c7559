#include "platform/Platform.h"

#include <atomic>

#include "platform/headless/HeadlessPlatform.h"

namespace qil {

namespace {
std::atomic<Platform*> installed{nullptr};

Platform& DefaultPlatform() {
  static HeadlessPlatform headless;
  return headless;
}
}  // namespace

Platform& CurrentPlatform() {
  Platform* platform = installed.load();
  return platform ? *platform : DefaultPlatform();
}

void SetCurrentPlatform(Platform* platform) { installed.store(platform); }

}  // namespace qil
