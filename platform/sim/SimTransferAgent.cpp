#include "platform/sim/SimTransferAgent.h"

namespace dwl::sim {

void SimTransferAgent::Start(const std::string& moduleFolder) {
  commandLines.push_back(moduleFolder + "/TransferAgent -o");
  running = true;
}

}  // namespace dwl::sim
