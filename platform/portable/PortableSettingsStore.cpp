#include "platform/portable/PortableSettingsStore.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/portable/PortableShell.h"
#include "platform/portable/PosixError.h"
#include "support/LineBreaks.h"

namespace dwl::portable {

namespace {

std::vector<std::string> ReadLines(const std::string& file) {
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

PortableSettingsStore::PortableSettingsStore(std::string file) : file_(std::move(file)) {}

std::string PortableSettingsStore::File() const {
  if (!file_.empty()) return file_;
  const std::string folder = PortableShell().SpecialFolder(csidl::kAppData);
  return folder.empty() ? "" : folder + "/dropwell-store.ini";
}

std::string PortableSettingsStore::GetSetting(const std::string& appName,
                                              const std::string& section,
                                              const std::string& key,
                                              const std::string& defaultValue) {
  const std::string group = "[" + OneLine(appName) + "\\" + OneLine(section) + "]";
  const std::string prefix = OneLine(key) + "=";
  bool inGroup = false;
  for (const std::string& line : ReadLines(File())) {
    if (!line.empty() && line.front() == '[') {
      inGroup = line == group;
    } else if (inGroup && line.compare(0, prefix.size(), prefix) == 0) {
      return line.substr(prefix.size());
    }
  }
  return defaultValue;
}

void PortableSettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                        const std::string& key, const std::string& value) {
  const std::string file = File();
  if (file.empty()) {
    throw Error(errc::kPathNotFound, "SettingsStore.SaveSetting", "No per-user settings folder");
  }
  const std::string group = "[" + OneLine(appName) + "\\" + OneLine(section) + "]";
  const std::string entry = OneLine(key) + "=" + OneLine(value);
  const std::string prefix = OneLine(key) + "=";

  std::vector<std::string> lines = ReadLines(file);
  bool inGroup = false;
  bool done = false;
  std::size_t groupEnd = lines.size();
  bool groupFound = false;
  for (std::size_t i = 0; i < lines.size() && !done; ++i) {
    if (!lines[i].empty() && lines[i].front() == '[') {
      if (inGroup) groupEnd = i;
      inGroup = lines[i] == group;
      groupFound = groupFound || inGroup;
    } else if (inGroup && lines[i].compare(0, prefix.size(), prefix) == 0) {
      lines[i] = entry;
      done = true;
    }
  }
  if (!done) {
    if (groupFound) {
      if (inGroup) groupEnd = lines.size();
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(groupEnd), entry);
    } else {
      lines.push_back(group);
      lines.push_back(entry);
    }
  }

  // Written beside the store and moved over it, so the store is never half written.
  const std::string temp = file + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
    if (!out) throw PosixError(errno, "SettingsStore.SaveSetting", temp);
  }
  if (std::rename(temp.c_str(), file.c_str()) != 0) {
    const int error = errno;
    std::remove(temp.c_str());
    throw PosixError(error, "SettingsStore.SaveSetting", file);
  }
}

}  // namespace dwl::portable
