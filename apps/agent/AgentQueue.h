// The mail queue as TransferAgent works through it: the oldest queue file
// first, and a Failed folder beside MailQueue for e-mails it gives up on.
#pragma once

#include <optional>
#include <set>
#include <string>

namespace dwl::agent {

class AgentQueue {
 public:
  // Takes the folders from the refreshed settings.
  AgentQueue();

  // The queue file created first (by name on a tie), passing over `skip`;
  // nullopt when there is none.
  std::optional<std::string> Oldest(const std::set<std::string>& skip) const;
  bool Empty() const;
  // Moves `path` into Failed (made when missing) under a name not yet taken
  // there, and says why in the log. Returns where it went.
  std::string MoveToFailed(const std::string& path, const std::string& why) const;

  const std::string& QueueFolder() const { return queueFolder_; }
  const std::string& FailedFolder() const { return failedFolder_; }

 private:
  std::string queueFolder_;
  std::string failedFolder_;
};

}  // namespace dwl::agent
