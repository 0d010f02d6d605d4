#include "tests/addin/SimHost.h"

#include <filesystem>

#include "dialogs/frmFiles.h"
#include "mail/EmailQueue.h"
#include "platform/sim/SimFaults.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace dwl::testing {

SimHost::SimHost(const std::string& version, int explorers)
    : outlook(sim::SimOutlook::Create(version, explorers)) {
  Platform services = Over(platform.services);
  services.transferAgent = &transferAgent;
  installed_.emplace(services);
  for (const char* icon : {"add_file_icon.bmp", "add_file_icon_XP.bmp"}) {
    std::filesystem::copy_file(std::filesystem::path(DWL_RESOURCES_DIR) / icon,
                               std::filesystem::path(platform.Module()) / "temp" / icon);
  }
  frmAddIn::ReleaseInstance();
  frmFiles::ReleaseInstance();
  frmFiles::Instance()->SetView(&dialogWindow);
  frmAddIn::Instance()->SetFileBrowser(frmFiles::Instance().get());  // as dwl sim wires it
}

SimHost::~SimHost() {
  sim::SimFaults::Current().Clear();
  frmAddIn::ReleaseInstance();
  frmFiles::ReleaseInstance();
  EmailQueue::ReleaseInstance();
  AppSettings::ReleaseInstance();
  ApplicationLog::ReleaseInstance();
}

void SimHost::ReplaceClipboard(Clipboard& replacement) {
  Platform services = ThePlatform();
  services.clipboard = &replacement;
  installed_.reset();
  installed_.emplace(services);
}

std::shared_ptr<Connect> SimHost::ConnectAddIn(int mode) {
  auto connect = std::make_shared<Connect>();
  outlook->ConnectAddIn(*connect, Connect::kProgId, mode);
  return connect;
}

std::shared_ptr<MailProcessor> SimHost::ConnectWithComposeWindow() {
  ConnectAddIn();
  outlook->Open("m1", sim::SimOutlook::ItemKind::Mail, false, true);
  return frmAddIn::Instance()->Slot(0);
}

}  // namespace dwl::testing
