// TransferAgent's single-instance mark on a POSIX system: an open-file-
// description lock on a per-user lock file. The system drops the lock with
// the process, so a crashed agent leaves no stale mark; asking whether the
// lock is held does not take it, so asking never turns a starting agent away.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/TransferAgentControl.h"

namespace dwl::portable {

class PortableTransferAgentControl : public TransferAgentControl {
 public:
  // `lockFile` overrides the lock file (tests); "" means the user's one, in
  // $XDG_RUNTIME_DIR (else /tmp), named for the user and the per-user folder.
  explicit PortableTransferAgentControl(std::string lockFile = "");
  ~PortableTransferAgentControl() override;

  bool IsRunning() override;
  void Start(const std::string& moduleFolder) override;
  std::unique_ptr<AgentMark> TryAcquireMark() override;

  const std::string& LockFile() const { return lockFile_; }

 private:
  void ReapFinishedChildren();

  std::string lockFile_;
  std::vector<pid_t> children_;
};

}  // namespace dwl::portable
