// A platform for tests: the real file system inside a fresh sandbox folder,
// a clock the test sets, a shell whose module and application-data folders
// lie in the sandbox, and recording fakes for the rest. Installs itself for
// its lifetime and starts and ends with no singletons alive.
#pragma once

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mail/EmailAttachment.h"
#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"
#include "platform/SystemPlatform.h"
#include "platform/portable/Utf8CodePage.h"
#include "platform/sim/FixedNumberFormat.h"
#include "platform/sim/SimSettingsStore.h"

namespace dwl::testing {

// Time stands still until the test moves it. Formats dates the way a
// United States locale does: 12/4/2026 11:38:56 AM.
class FakeClock : public Clock {
 public:
  LocalDateTime now{2026, 12, 4, 11, 38, 56};
  LocalDateTime Now() override { return now; }
  std::string FormatGeneralDate(const LocalDateTime& time) override;
};

// New GUIDs as the system makes them; the folders the test says.
class FakeShell : public SystemShell {
 public:
  std::string moduleFolder;
  std::map<int, std::string> specialFolders;
  std::string SpecialFolder(int id) override { return specialFolders.contains(id) ? specialFolders[id] : ""; }
  std::string ModuleFolder() override { return moduleFolder; }
};

class FakeTransferAgentControl : public TransferAgentControl {
 public:
  bool running = false;
  std::vector<std::string> starts;  // module folders it was started from
  std::function<void()> onStart;    // runs first; may throw to fail the start
  bool IsRunning() override { return running; }
  void Start(const std::string& moduleFolder) override {
    if (onStart) onStart();
    starts.push_back(moduleFolder);
  }
  std::unique_ptr<AgentMark> TryAcquireMark() override { return nullptr; }
};

class ScriptedConsole : public Console {
 public:
  std::deque<std::string> lines;
  std::vector<std::string> prompts;
  std::optional<std::string> ReadSecretLine(const std::string& prompt) override;
  bool ErrorIsTerminal() override { return false; }
  std::size_t ErrorWidth() override { return 0; }
};

// Records every alert instead of showing it.
class RecordingAlerts : public UserAlerts {
 public:
  struct Alert {
    std::string text;
    std::string title;
  };
  std::vector<Alert> shown;
  void Critical(const std::string& text, const std::string& title) override {
    shown.push_back({text, title});
  }
};

class TestPlatform {
 public:
  TestPlatform();
  ~TestPlatform();

  // The sandbox folder, and paths in it.
  const std::filesystem::path& Root() const { return root_; }
  // UTF-8, with the system's separators.
  std::string Path(const std::string& relative) const;
  // "<sandbox>/appdata": the application-data folder the shell reports.
  std::string AppData() const { return Path("appdata"); }
  // "<sandbox>/module": the module folder, with temp/logs and temp/UserData.
  std::string Module() const { return Path("module"); }
  // The services installed now with `replacement` as the file system, for
  // as long as the result lives (a PortableFileSystem with one call changed,
  // to inject a fault).
  static ScopedPlatform WithFiles(FileSystem& replacement) {
    Platform services = ThePlatform();
    services.files = &replacement;
    return ScopedPlatform(services);
  }

  Platform services;
  SystemFileSystem files;
  portable::Utf8CodePage codePage;
  FakeClock clock;
  FakeShell shell;
  sim::SimSettingsStore settingsStore;
  FakeTransferAgentControl transferAgent;
  ScriptedConsole console;
  RecordingAlerts alerts;
  sim::FixedNumberFormat numberFormat{".", ",", 3};  // United States conventions
  // The event loop's timers run on test time, which moves only by AdvanceTime.
  std::chrono::steady_clock::time_point time{};
  portable::PortableEventLoop eventLoop{codePage, [this] { return time; }};

  // Moves test time on and runs the timer ticks and other events now due.
  void AdvanceTime(std::chrono::milliseconds by);

 private:
  std::filesystem::path root_;
  std::optional<ScopedPlatform> installed_;
};

// Whether `action` throws dwl::Error with `number`.
template <class Action>
::testing::AssertionResult ThrowsError(long number, Action&& action) {
  try {
    action();
  } catch (const Error& failure) {
    if (failure.Number() == number) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "error " << failure.Number() << " ("
                                         << failure.Description() << "), expected " << number;
  }
  return ::testing::AssertionFailure() << "no error, expected " << number;
}

// A UTF-8 path as the standard library takes it, and back.
std::filesystem::path Native(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);
// Whole-file helpers for checking what the code wrote.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Lines of a CR LF file, without their terminators.
std::vector<std::string> ReadCrLfLines(const std::string& path);
// The permission bits of a file or folder, as 0600.
inline unsigned Mode(const std::string& path) {
  return static_cast<unsigned>(std::filesystem::status(path).permissions() & std::filesystem::perms::mask);
}
// The names of the files in `folder`, sorted; none when it is missing.
std::vector<std::string> FileNames(const std::string& folder);
// A file of `bytes` at `path`, as an attachment of an e-mail.
std::shared_ptr<EmailAttachment> AttachedFile(const std::string& path, const std::string& bytes);

// Creation times that the test sets, by file name (the real file system
// keeps them to the second only); other files keep theirs.
class CreationTimes : public SystemFileSystem {
 public:
  std::map<std::string, LocalDateTime> times;
  LocalDateTime CreationTime(const std::string& path) override {
    const auto found = times.find(std::filesystem::path(path).filename().string());
    return found == times.end() ? SystemFileSystem::CreationTime(path) : found->second;
  }
};

// Sets an environment variable (nullopt: unsets it) until the scope ends.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnvironment() { Set(old_); }
  void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name_, value ? value->c_str() : "");
#else
    if (value) ::setenv(name_, value->c_str(), 1); else ::unsetenv(name_);
#endif
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace dwl::testing
