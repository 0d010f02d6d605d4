// Whether the TransferAgent program runs for this user, and its start.
#pragma once

#include <memory>
#include <string>

namespace dwl {

// Held by a running TransferAgent for as long as it lives; the system drops
// it with the process, so a crashed agent never leaves a stale mark.
class AgentMark {
 public:
  virtual ~AgentMark() = default;
};

class TransferAgentControl {
 public:
  virtual ~TransferAgentControl() = default;
  virtual bool IsRunning() = 0;
  // Starts "<moduleFolder>/TransferAgent -o" and does not wait for it.
  virtual void Start(const std::string& moduleFolder) = 0;
  // The mark, or nullptr while another agent holds it.
  virtual std::unique_ptr<AgentMark> TryAcquireMark() = 0;
};

}  // namespace dwl
