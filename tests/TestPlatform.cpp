#include "tests/TestPlatform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "mail/EmailQueue.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace dwl::testing {

std::string FakeClock::FormatGeneralDate(const LocalDateTime& t) {
  const std::string date = std::to_string(t.month) + "/" + std::to_string(t.day) + "/" +
                           std::to_string(t.year);
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return date;  // midnight: the date alone
  char time[32];
  std::snprintf(time, sizeof time, " %d:%02d:%02d %s", (t.hour + 11) % 12 + 1, t.minute, t.second,
                t.hour < 12 ? "AM" : "PM");
  return date + time;
}

std::optional<std::string> ScriptedConsole::ReadSecretLine(const std::string& prompt) {
  prompts.push_back(prompt);
  if (lines.empty()) return std::nullopt;
  std::string line = lines.front();
  lines.pop_front();
  return line;
}

std::string TestPlatform::Path(const std::string& relative) const {
  return Utf8((root_ / Native(relative)).make_preferred());
}

TestPlatform::TestPlatform() {
  // A new folder of the test's own; create_directory says whether it was new.
  std::random_device random;
  do {
    root_ = std::filesystem::temp_directory_path() / ("dwl-test-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(root_));
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all);
  for (const char* folder : {"appdata", "documents", "module/temp/logs", "module/temp/UserData"}) {
    std::filesystem::create_directories(root_ / folder);
  }
  shell.moduleFolder = Module();
  shell.specialFolders[csidl::kAppData] = AppData();
  shell.specialFolders[csidl::kPersonal] = Path("documents");

  services = {.files = &files, .codePage = &codePage, .clock = &clock, .shell = &shell,
              .settingsStore = &settingsStore, .transferAgent = &transferAgent,
              .console = &console, .alerts = &alerts, .numberFormat = &numberFormat,
              .eventLoop = &eventLoop};
  EmailQueue::ReleaseInstance();
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

std::filesystem::path Native(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> ReadCrLfLines(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find("\r\n", start), bytes.size());
    lines.push_back(bytes.substr(start, end - start));  // an unterminated last line too
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(Native(folder), missing)) {
    if (entry.is_regular_file()) names.push_back(Utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::shared_ptr<EmailAttachment> AttachedFile(const std::string& path, const std::string& bytes) {
  WriteBytes(path, bytes);
  auto attachment = std::make_shared<EmailAttachment>();
  attachment->set_FilePath(path);
  return attachment;
}

}  // namespace dwl::testing
