#include "apps/agent/AgentQueue.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace dwl::agent {

AgentQueue::AgentQueue() {
  const auto settings = AppSettings::Instance();
  queueFolder_ = settings->getMailQueueDirectory();
  failedFolder_ = settings->getApplicationDirectory() + "Failed" + ThePlatform().files->Separator();
}

std::optional<std::string> AgentQueue::Oldest(const std::set<std::string>& skip) const {
  FileSystem& files = *ThePlatform().files;
  std::vector<std::pair<LocalDateTime, std::string>> queued;
  for (const std::string& path : files.ListFiles(queueFolder_)) {
    if (skip.count(path) != 0) continue;
    try {
      queued.emplace_back(files.CreationTime(path), path);
    } catch (const Error&) {
      // Gone since the listing: the add-in or another agent took it.
    }
  }
  if (queued.empty()) return std::nullopt;
  return std::min_element(queued.begin(), queued.end())->second;
}

bool AgentQueue::Empty() const { return ThePlatform().files->ListFiles(queueFolder_).empty(); }

std::string AgentQueue::MoveToFailed(const std::string& path, const std::string& why) const {
  FileSystem& files = *ThePlatform().files;
  if (!files.FolderExists(failedFolder_)) files.CreateFolder(failedFolder_, FileAccess::Private);
  const std::string name = path.substr(path.find_last_of(files.Separator()) + 1);
  std::string target = failedFolder_ + name;
  // An e-mail failed before under the same name stays as it is.
  for (int n = 2; files.FileExists(target); ++n) {
    target = failedFolder_ + name + "." + std::to_string(n);
  }
  files.MoveReplacing(path, target);
  ApplicationLog::Instance()->AddMessage("TransferAgent: moved " + path + " to " + target + ": " + why);
  return target;
}

}  // namespace dwl::agent
