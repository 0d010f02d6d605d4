// The add-in's diagnostic log: one file a day,
// "<module folder>/temp/logs/DropwellOutlookAddIn_YYYY-MM-DD.log", each line
// "<local date and time> - <message>" CR LF, optionally mirrored into the
// debug window. The file is chosen at creation and kept open; any number of
// log objects may append to it. A log that cannot be written never fails its
// caller: the add-in goes on without it. The log holds e-mail IDs, which
// complete download links: the folder and the files are the owner's only
// (FileAccess::Private). Text from outside goes in through Printable.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "support/frmLog.h"

namespace dwl {

// Text from outside (a server's reply, say) made fit for the log or a
// message on a terminal: every control character (a byte below 0x20, or
// 0x7f) becomes "?", so the text can neither break a log line nor steer a
// terminal; text of more than `most` bytes is cut there and ends in
// "... (N bytes)" with its whole length.
std::string Printable(std::string_view text, std::size_t most = std::string_view::npos);

// The message of a log line, without the date and time before it.
std::string LoggedMessage(const std::string& line);

class ApplicationLog {
 public:
  static constexpr const char* kProductName = "DropwellOutlookAddIn";
  // Rows that the debug list keeps, the first of them the "...." marker once
  // older rows were dropped.
  static constexpr int kDisplayRows = 250;
  // Log files created more calendar days ago than this are old.
  static constexpr long kKeepDays = 14;

  ApplicationLog();
  ~ApplicationLog();
  ApplicationLog(const ApplicationLog&) = delete;
  ApplicationLog& operator=(const ApplicationLog&) = delete;

  // The process-wide log, made at the first request.
  static std::shared_ptr<ApplicationLog> Instance();
  // Drops the process-wide reference (the add-in unloads; tests start afresh).
  static void ReleaseInstance();

  // Mirrors every later message into `form`'s list and shows the window.
  void LogDisplayList(std::shared_ptr<frmLog> form);
  void AddMessage(const std::string& strMessage);
  void AddDebugMessage(const std::string& strMessage);
  // Deletes files in the log folder created more than kKeepDays calendar days
  // ago; files that cannot be deleted stay, silently.
  void DeleteOldLogfiles();

  // Ends with the separator.
  const std::string& getLogDirectory() const { return logDirectory_; }
  const std::string& getLogFilePath() const { return logFilePath_; }

 private:
  void OpenFile();

  std::shared_ptr<frmLog> displayList_;
  bool displayEnabled_ = false;
  std::string tempDirectory_;
  std::string logDirectory_;
  std::string logFilePath_;
  std::unique_ptr<TextWriter> logFile_;
};

}  // namespace dwl
