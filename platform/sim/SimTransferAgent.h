// Records the starts of TransferAgent instead of running it; a started agent
// counts as running from then on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/TransferAgentControl.h"

namespace dwl::sim {

class SimTransferAgent : public TransferAgentControl {
 public:
  bool IsRunning() override { return running; }
  void Start(const std::string& moduleFolder) override;
  std::unique_ptr<AgentMark> TryAcquireMark() override { return nullptr; }

  bool running = false;
  std::vector<std::string> commandLines;
};

}  // namespace dwl::sim
