// TransferAgent on Windows. A running agent is a top-level window titled
// exactly "TransferAgent", which the add-in looks for. The agent's mark is
// that window, hidden, together with a per-user named mutex, so that two
// agents starting at once cannot both run. The system releases the mutex
// (as abandoned) and destroys the window with a process that dies, so a
// crashed agent leaves no stale mark.
#pragma once

#include <memory>
#include <string>

#include "platform/TransferAgentControl.h"

namespace dwl::win32 {

class Win32TransferAgentControl : public TransferAgentControl {
 public:
  bool IsRunning() override;
  // Starts the agent minimised, without waiting; throws dwl::Error when it
  // cannot be started.
  void Start(const std::string& moduleFolder) override;
  // The mark's window lives on a thread of the mark's own, which answers the
  // messages other programs send to every top-level window; destroying the
  // mark ends that thread and releases the mutex before it returns.
  std::unique_ptr<AgentMark> TryAcquireMark() override;

  // "\"<moduleFolder>\\TransferAgent.exe\" -o": quoted, or a folder with a
  // blank would start a program named after the part before the blank.
  static std::string CommandLine(const std::string& moduleFolder);
  // The mutex's name: in the global namespace, so that the user's sessions
  // share it (they share the user's mail queue), and named with the user's
  // SID, so that no two users share it.
  static std::string MutexName();
};

}  // namespace dwl::win32
