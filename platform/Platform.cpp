#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace dwl {

namespace {
Platform g_platform;
}  // namespace

const Platform& ThePlatform() {
  if (g_platform.files == nullptr) {
    std::fputs("dwl: no platform installed\n", stderr);
    std::abort();
  }
  return g_platform;
}

bool PlatformInstalled() { return g_platform.files != nullptr; }

ScopedPlatform::ScopedPlatform(const Platform& platform) : previous_(g_platform) {
  g_platform = platform;
}

ScopedPlatform::~ScopedPlatform() { g_platform = previous_; }

}  // namespace dwl
