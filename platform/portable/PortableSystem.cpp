#include "platform/portable/PortableSystem.h"

#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>

#include "platform/portable/PosixError.h"

namespace dwl::portable {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
  }
  return home;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::locale UserLocale() {
  try {
    return std::locale("");
  } catch (const std::exception&) {
    return std::locale::classic();
  }
}

}  // namespace

LocalDateTime ToLocalDateTime(std::time_t seconds) {
  std::tm parts{};
  localtime_r(&seconds, &parts);
  return LocalDateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                       parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

LocalDateTime PortableClock::Now() { return ToLocalDateTime(std::time(nullptr)); }

std::string PortableClock::FormatGeneralDate(const LocalDateTime& time) {
  std::tm parts{};
  parts.tm_year = time.year - 1900;
  parts.tm_mon = time.month - 1;
  parts.tm_mday = time.day;
  parts.tm_hour = time.hour;
  parts.tm_min = time.minute;
  parts.tm_sec = time.second;
  parts.tm_isdst = -1;
  std::ostringstream text;
  static const std::locale locale = UserLocale();
  text.imbue(locale);
  const bool midnight = time.hour == 0 && time.minute == 0 && time.second == 0;
  text << std::put_time(&parts, midnight ? "%x" : "%x %X");
  std::string result = text.str();
  for (char& c : result) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return result;
}

std::string PortableShell::SpecialFolder(int id) {
  // The XDG variable, else its default below the home folder.
  const auto xdgFolder = [](const char* variable, const char* underHome) {
    std::string folder = Environment(variable);
    if (folder.empty()) {
      const std::string home = HomeFolder();
      if (!home.empty()) folder = home + underHome;
    }
    return WithoutTrailingSeparators(folder);
  };
  if (id == csidl::kPersonal) return xdgFolder("XDG_DOCUMENTS_DIR", "/Documents");
  if (id != csidl::kAppData) return "";
  const std::string folder = xdgFolder("XDG_CONFIG_HOME", "/.config");
  // A new account may not have it yet; like the Windows shell, we make it
  // (when that fails, the caller's own test of the folder tells).
  if (!folder.empty()) ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::string PortableShell::ModuleFolder() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) throw PosixError(errno, "Shell.ModuleFolder", "/proc/self/exe");
  path.resize(static_cast<std::size_t>(n));
  const auto cut = path.rfind('/');
  return cut == 0 ? "/" : path.substr(0, cut);
}

std::string PortableShell::NewGuid() {
  uuid_t id;
  uuid_generate(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return std::string("{") + text + "}";
}

bool PortableConsole::ErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<std::string> PortableConsole::ReadSecretLine(const std::string& prompt) {
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  termios saved{};
  if (terminal) {
    std::cerr << prompt << std::flush;
    if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << '\n';
  }
  if (!got && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string PortableNumberFormat::DecimalSeparator() {
  static const std::locale locale = UserLocale();
  return std::string(1, std::use_facet<std::numpunct<char>>(locale).decimal_point());
}

std::string PortableNumberFormat::ThousandsSeparator() {
  static const std::locale locale = UserLocale();
  return std::string(1, std::use_facet<std::numpunct<char>>(locale).thousands_sep());
}

int PortableNumberFormat::GroupSize() {
  static const std::locale locale = UserLocale();
  const std::string grouping = std::use_facet<std::numpunct<char>>(locale).grouping();
  return grouping.empty() || grouping[0] <= 0 ? 0 : grouping[0];
}

void StderrAlerts::Critical(const std::string& text, const std::string& title) {
  std::cerr << (title.empty() ? "Dropwell" : title) << ": " << text << std::endl;
}

}  // namespace dwl::portable
