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

std::string Shown(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
      shown.push_back(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

}  // namespace dwl::fuzz
