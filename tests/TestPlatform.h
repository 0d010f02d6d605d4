// A platform for tests: the real file system inside a fresh sandbox folder,
// a clock the test sets, a shell whose module and application-data folders
// lie in the sandbox, and recording fakes for the rest. Installs itself for
// its lifetime and starts and ends with no singletons alive.
#pragma once

#include <cstdint>
#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mail/EmailAttachment.h"
#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"
#include "platform/portable/PortableFileSystem.h"
#include "platform/portable/PortableShell.h"
#include "platform/portable/Utf8CodePage.h"
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
  bool ErrorIsTerminal() override { return false; }
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

// United States conventions until a test changes them.
class FakeNumberFormat : public NumberFormat {
 public:
  std::string decimal = ".";
  std::string thousands = ",";
  int groupSize = 3;
  std::string DecimalSeparator() override { return decimal; }
  std::string ThousandsSeparator() override { return thousands; }
  int GroupSize() override { return groupSize; }
};

// Passes every call on to `target`. A test derives from it, overrides the
// one call it needs to fail or to answer differently, and installs it in
// place of the real file system.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  char Separator() const override { return target_.Separator(); }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return target_.FolderExists(path); }
  std::vector<std::string> ListFiles(const std::string& folder) override {
    return target_.ListFiles(folder);
  }
  std::uint64_t FileSize(const std::string& path) override { return target_.FileSize(path); }
  LocalDateTime CreationTime(const std::string& path) override {
    return target_.CreationTime(path);
  }
  std::int64_t ModificationTime(const std::string& path) override {
    return target_.ModificationTime(path);
  }
  void CreateFolder(const std::string& path, FileAccess access) override {
    target_.CreateFolder(path, access);
  }
  void RemoveFile(const std::string& path) override { target_.RemoveFile(path); }
  void MoveReplacing(const std::string& from, const std::string& to) override {
    target_.MoveReplacing(from, to);
  }
  std::unique_ptr<BinaryReader> OpenBinaryForReading(const std::string& path) override {
    return target_.OpenBinaryForReading(path);
  }
  std::unique_ptr<TextReader> OpenTextForReading(const std::string& path) override {
    return target_.OpenTextForReading(path);
  }
  std::unique_ptr<TextWriter> OpenTextForAppending(const std::string& path,
                                                   FileAccess access) override {
    return target_.OpenTextForAppending(path, access);
  }

 protected:
  FileSystem& target_;
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
  // The services installed now with `replacement` as the file system, for
  // as long as the result lives (a FileSystemWrapper that injects a fault).
  static ScopedPlatform WithFiles(FileSystem& replacement) {
    Platform services = ThePlatform();
    services.files = &replacement;
    return ScopedPlatform(services);
  }

  Platform services;
  portable::PortableFileSystem files;
  portable::Utf8CodePage codePage;
  FakeClock clock;
  FakeShell shell;
  sim::SimSettingsStore settingsStore;
  FakeTransferAgentControl transferAgent;
  ScriptedConsole console;
  RecordingAlerts alerts;
  FakeNumberFormat numberFormat;
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
// A file of `bytes` at `path`, as an attachment of an e-mail.
std::shared_ptr<EmailAttachment> AttachedFile(const std::string& path, const std::string& bytes);

// Creation times that the test sets, by file name (the real file system
// keeps them to the second only); other files keep theirs.
class CreationTimes : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::map<std::string, LocalDateTime> times;
  LocalDateTime CreationTime(const std::string& path) override;
};
// Lines of a CR LF file, without their terminators.
std::vector<std::string> ReadCrLfLines(const std::string& path);

}  // namespace dwl::testing
