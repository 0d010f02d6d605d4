// A platform for tests: the real file system inside a fresh sandbox folder,
// a clock the test sets, a shell whose module and application-data folders
// lie in the sandbox, and recording fakes for the rest. Installs itself for
// its lifetime and starts and ends with no singletons alive.
#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"
#include "platform/portable/PortableFileSystem.h"
#include "platform/portable/PortableSystem.h"

namespace dwl::testing {

// Time stands still until the test moves it. Formats dates the way a
// United States locale does: 12/4/2026 11:38:56 AM.
class FakeClock : public Clock {
 public:
  LocalDateTime now{2026, 12, 4, 11, 38, 56};
  LocalDateTime Now() override { return now; }
  std::string FormatGeneralDate(const LocalDateTime& time) override;
};

class FakeShell : public Shell {
 public:
  std::string moduleFolder;
  std::map<int, std::string> specialFolders;
  std::string SpecialFolder(int id) override;
  std::string ModuleFolder() override { return moduleFolder; }
  std::string NewGuid() override { return guids.NewGuid(); }

 private:
  portable::PortableShell guids;
};

class MemorySettingsStore : public SettingsStore {
 public:
  std::map<std::string, std::string> values;
  std::string GetSetting(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& defaultValue) override;
  void SaveSetting(const std::string& appName, const std::string& section,
                   const std::string& key, const std::string& value) override;
};

class FakeTransferAgentControl : public TransferAgentControl {
 public:
  bool running = false;
  std::vector<std::string> starts;  // module folders it was started from
  bool IsRunning() override { return running; }
  void Start(const std::string& moduleFolder) override { starts.push_back(moduleFolder); }
  std::unique_ptr<AgentMark> TryAcquireMark() override;
};

class ScriptedConsole : public Console {
 public:
  std::deque<std::string> lines;
  std::vector<std::string> prompts;
  std::optional<std::string> ReadSecretLine(const std::string& prompt) override;
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
  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
  // "<sandbox>/appdata": the application-data folder the shell reports.
  std::string AppData() const { return Path("appdata"); }
  // "<sandbox>/module": the module folder, with temp/logs and temp/UserData.
  std::string Module() const { return Path("module"); }

  Platform services;
  portable::PortableFileSystem files;
  portable::Utf8CodePage codePage;
  FakeClock clock;
  FakeShell shell;
  MemorySettingsStore settingsStore;
  FakeTransferAgentControl transferAgent;
  ScriptedConsole console;
  RecordingAlerts alerts;
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

// Whole-file helpers for checking what the code wrote.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Lines of a CR LF file, without their terminators.
std::vector<std::string> ReadCrLfLines(const std::string& path);

}  // namespace dwl::testing
