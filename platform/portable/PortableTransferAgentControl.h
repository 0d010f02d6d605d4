// TransferAgent's single-instance mark on a POSIX system: an open-file-
// description lock on a per-user lock file. The system drops the lock with
// the process, so a crashed agent leaves no stale mark; asking whether the
// lock is held does not take it, so asking never turns a starting agent away.
// The lock file lies where only the user may write, and a lock file that is
// a symbolic link or another user's is never used.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/TransferAgentControl.h"

namespace dwl::portable {

class PortableTransferAgentControl : public TransferAgentControl {
 public:
  // `lockFile` overrides the lock file (tests); "" means the user's one,
  // found at first use: in $XDG_RUNTIME_DIR when it is the user's own folder
  // (mode 0700), named for the user and the per-user folder; else
  // "TransferAgent.lock" in the application folder of the settings, which
  // are refreshed first if they were not yet.
  explicit PortableTransferAgentControl(std::string lockFile = "");
  ~PortableTransferAgentControl() override;

  bool IsRunning() override;
  void Start(const std::string& moduleFolder) override;
  std::unique_ptr<AgentMark> TryAcquireMark() override;

  const std::string& LockFile();

 private:
  void ReapFinishedChildren();

  std::string lockFile_;
  std::vector<pid_t> children_;
};

}  // namespace dwl::portable
