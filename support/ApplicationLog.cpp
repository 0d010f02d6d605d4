#include "support/ApplicationLog.h"

#include <algorithm>
#include <cstdio>

#include "platform/Platform.h"
#include "support/ProcessWide.h"

namespace dwl {

namespace {

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() == 1 ? "0" + text : text;
}

// Between a line's date and time and its message.
constexpr const char* kTimeSeparator = " - ";

}  // namespace

std::string LoggedMessage(const std::string& line) {
  const auto at = line.find(kTimeSeparator);
  return at == std::string::npos ? line : line.substr(at + std::char_traits<char>::length(kTimeSeparator));
}

std::string Printable(std::string_view text, std::size_t most) {
  const std::size_t kept = std::min(text.size(), most);
  std::string shown(text.substr(0, kept));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  if (kept < text.size()) shown += "... (" + std::to_string(text.size()) + " bytes)";
  return shown;
}

ApplicationLog::ApplicationLog() {
  const Platform& platform = ThePlatform();
  const char sep = platform.files->Separator();
  try {
    tempDirectory_ = platform.shell->ModuleFolder() + sep + "temp" + sep;
    logDirectory_ = tempDirectory_ + "logs" + sep;
  } catch (const Error&) {
    return;  // no folder, no log
  }
  const LocalDateTime today = platform.clock->Now();
  logFilePath_ = logDirectory_ + kProductName + "_" + std::to_string(today.year) + "-" +
                 TwoDigits(today.month) + "-" + TwoDigits(today.day) + ".log";
  OpenFile();
}

ApplicationLog::~ApplicationLog() = default;

std::shared_ptr<ApplicationLog> ApplicationLog::Instance() {
  return ProcessWide<ApplicationLog>::Get();
}

void ApplicationLog::ReleaseInstance() { ProcessWide<ApplicationLog>::Release(); }

void ApplicationLog::OpenFile() {
  if (logFilePath_.empty()) return;
  FileSystem& files = *ThePlatform().files;
  try {
    // The installation provides the folder; make it when it went missing.
    if (!files.FolderExists(logDirectory_)) {
      if (!files.FolderExists(tempDirectory_)) files.CreateFolder(tempDirectory_, FileAccess::Shared);
      files.CreateFolder(logDirectory_, FileAccess::Private);
    }
    // Private also narrows a file that an older version made for everyone.
    logFile_ = files.OpenTextForAppending(logFilePath_, FileAccess::Private);
  } catch (const Error&) {
    logFile_.reset();
  }
}

void ApplicationLog::LogDisplayList(std::shared_ptr<frmLog> form) {
  displayList_ = std::move(form);
  displayEnabled_ = displayList_ != nullptr;
}

void ApplicationLog::AddMessage(const std::string& strMessage) {
  if (!PlatformInstalled()) return;  // a program shutting down
  Clock& clock = *ThePlatform().clock;
  const std::string line = clock.FormatGeneralDate(clock.Now()) + kTimeSeparator + strMessage;
  if (!logFile_) OpenFile();
  if (logFile_) {
    try {
      logFile_->WriteLine(line);
    } catch (const Error&) {
      // A full disk must not stop the add-in; the next message tries again.
    }
  }
  if (displayEnabled_) {
    ListBox& list = displayList_->List1;
    list.AddItem(line);
    if (list.ListCount() > kDisplayRows) {
      list.RemoveItem(0);
      list.SetList(0, "....");
    }
    displayList_->Show();
  }
}

void ApplicationLog::AddDebugMessage(const std::string& strMessage) { AddMessage(strMessage); }

void ApplicationLog::DeleteOldLogfiles() {
  const Platform& platform = ThePlatform();
  const LocalDateTime now = platform.clock->Now();
  for (const std::string& file : platform.files->ListFiles(logDirectory_)) {
    try {
      if (LocalDateTime::DaysBetween(platform.files->CreationTime(file), now) > kKeepDays) {
        platform.files->RemoveFile(file);
      }
    } catch (const Error&) {
      // In use, read-only or gone: leave it.
    }
  }
}

}  // namespace dwl
