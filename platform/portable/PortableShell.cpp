#include "platform/portable/PortableShell.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <cstdlib>

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

}  // namespace

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

}  // namespace dwl::portable
