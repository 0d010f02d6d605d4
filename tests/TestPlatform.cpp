#include "tests/TestPlatform.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "mail/EmailQueue.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace dwl::testing {

std::string FakeClock::FormatGeneralDate(const LocalDateTime& t) {
  char text[64];
  if (t.hour == 0 && t.minute == 0 && t.second == 0) {
    std::snprintf(text, sizeof text, "%d/%d/%d", t.month, t.day, t.year);
  } else {
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", t.month, t.day, t.year, hour12,
                  t.minute, t.second, t.hour < 12 ? "AM" : "PM");
  }
  return text;
}

std::string FakeShell::SpecialFolder(int id) {
  const auto found = specialFolders.find(id);
  return found == specialFolders.end() ? "" : found->second;
}

std::unique_ptr<AgentMark> FakeTransferAgentControl::TryAcquireMark() {
  if (running) return nullptr;
  running = true;
  struct Mark : AgentMark {
    explicit Mark(bool& flag) : running(flag) {}
    ~Mark() override { running = false; }
    bool& running;
  };
  return std::make_unique<Mark>(running);
}

std::optional<std::string> ScriptedConsole::ReadSecretLine(const std::string& prompt) {
  prompts.push_back(prompt);
  if (lines.empty()) return std::nullopt;
  std::string line = lines.front();
  lines.pop_front();
  return line;
}

TestPlatform::TestPlatform() {
  std::string pattern = (std::filesystem::temp_directory_path() / "dwl-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::filesystem::create_directories(root_ / "appdata");
  std::filesystem::create_directories(root_ / "documents");
  std::filesystem::create_directories(root_ / "module" / "temp" / "logs");
  std::filesystem::create_directories(root_ / "module" / "temp" / "UserData");
  shell.moduleFolder = Module();
  shell.specialFolders[csidl::kAppData] = AppData();
  shell.specialFolders[csidl::kPersonal] = Path("documents");

  services.files = &files;
  services.codePage = &codePage;
  services.clock = &clock;
  services.shell = &shell;
  services.settingsStore = &settingsStore;
  services.transferAgent = &transferAgent;
  services.console = &console;
  services.alerts = &alerts;
  services.numberFormat = &numberFormat;
  EmailQueue::ReleaseInstance();
  services.eventLoop = &eventLoop;
  AppSettings::ReleaseInstance();
  ApplicationLog::ReleaseInstance();
  installed_.emplace(services);
}

TestPlatform::~TestPlatform() {
  EmailQueue::ReleaseInstance();
  AppSettings::ReleaseInstance();
  ApplicationLog::ReleaseInstance();
  installed_.reset();
  std::error_code ignored;
  // Read-only files and folders the tests made must not stop the clean-up.
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(root_, ignored);
}

void TestPlatform::AdvanceTime(std::chrono::milliseconds by) {
  time += by;
  eventLoop.TimeMoved();
  eventLoop.Poll();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> ReadCrLfLines(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));  // an unterminated last line shows as such
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::shared_ptr<EmailAttachment> AttachedFile(const std::string& path, const std::string& bytes) {
  WriteBytes(path, bytes);
  auto attachment = std::make_shared<EmailAttachment>();
  attachment->set_FilePath(path);
  return attachment;
}

LocalDateTime CreationTimes::CreationTime(const std::string& path) {
  const auto found = times.find(std::filesystem::path(path).filename().string());
  return found == times.end() ? target_.CreationTime(path) : found->second;
}

}  // namespace dwl::testing
