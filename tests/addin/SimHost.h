// The test platform plus a simulated Outlook and its host services, with the
// add-in's icons in the module folder. The add-in's hub starts and ends
// released.
#pragma once

#include <memory>
#include <optional>

#include "addin/Connect.h"
#include "addin/frmAddIn.h"
#include "platform/sim/SimOutlook.h"
#include "platform/sim/SimHostServices.h"
#include "platform/sim/SimDialogWindow.h"
#include "platform/sim/SimTransferAgent.h"
#include "tests/TestPlatform.h"

namespace dwl::testing {

class SimHost : public sim::SimHostServices {
 public:
  explicit SimHost(const std::string& version = "11.0.8217", int explorers = 1);
  ~SimHost();

  // Connects a new Connect the way the host does, in `mode`.
  std::shared_ptr<Connect> ConnectAddIn(int mode = 1);
  // Connects the add-in and opens one compose window ("m1"); its processor.
  std::shared_ptr<MailProcessor> ConnectWithComposeWindow();

  // Puts `replacement` where the simulated clipboard was.
  void ReplaceClipboard(Clipboard& replacement);

  TestPlatform platform;
  sim::SimTransferAgent transferAgent;
  sim::SimDialogWindow dialogWindow;
  std::shared_ptr<sim::SimOutlook> outlook;

 private:
  std::optional<ScopedPlatform> installed_;
};

}  // namespace dwl::testing
