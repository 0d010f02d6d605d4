// What the fuzz targets share: a sandboxed test platform made once per
// process (whose log lines go nowhere, so that millions of inputs neither
// slow down on nor fill the disk with the application log), and a check that
// stops the run with a message, so that a broken invariant counts as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "tests/TestPlatform.h"

namespace dwl::fuzz {

// The real file system, but the application log gets a writer that drops
// its lines.
class QuietLogFiles : public portable::PortableFileSystem {
 public:
  explicit QuietLogFiles(std::string logFolder) : logFolder_(std::move(logFolder)) {}
  std::unique_ptr<TextWriter> OpenTextForAppending(const std::string& path,
                                                   FileAccess access) override;

 private:
  std::string logFolder_;
};

// Installs QuietLogFiles over the platform installed now, for its lifetime.
// `moduleFolder` is the one whose temp/logs the log writes to.
class QuietLog {
 public:
  explicit QuietLog(const std::string& moduleFolder);

 private:
  QuietLogFiles files_;
  std::optional<ScopedPlatform> installed_;
};

// The process's platform: made at the first call, kept until the process ends.
testing::TestPlatform& Sandbox();

// The bytes of an input as a string.
inline std::string Text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Prints what broke, with the values involved, and aborts.
[[noreturn]] void Broken(const char* file, int line, const std::string& what);

// `text` quoted, with every byte outside printable ASCII escaped, for messages.
inline std::string Shown(std::string_view text) { return ::testing::PrintToString(std::string(text)); }

}  // namespace dwl::fuzz

// An invariant of the code under test; `what` is evaluated only when it fails.
#define FUZZ_CHECK(condition, what)                                 \
  do {                                                              \
    if (!(condition)) ::dwl::fuzz::Broken(__FILE__, __LINE__, what); \
  } while (false)
