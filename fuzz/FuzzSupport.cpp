#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace dwl::fuzz {

namespace {

class DroppingWriter : public TextWriter {
 public:
  void WriteLine(const std::string&) override {}
};

// The sandbox with the quiet log over it; members end in reverse order.
struct SandboxWithQuietLog {
  testing::TestPlatform platform;
  QuietLog quiet{platform.Module()};
};

}  // namespace

std::unique_ptr<TextWriter> QuietLogFiles::OpenTextForAppending(const std::string& path,
                                                                FileAccess access) {
  if (path.starts_with(logFolder_)) return std::make_unique<DroppingWriter>();
  return PortableFileSystem::OpenTextForAppending(path, access);
}

QuietLog::QuietLog(const std::string& moduleFolder) : files_(moduleFolder + "/temp/logs/") {
  Platform services = ThePlatform();
  services.files = &files_;
  installed_.emplace(services);
}

testing::TestPlatform& Sandbox() {
  static SandboxWithQuietLog sandbox;
  return sandbox.platform;
}

void Broken(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "\n%s:%d: invariant broken: %s\n", file, line, what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace dwl::fuzz
