#include "addin/Connect.h"

#include "addin/frmAddIn.h"
#include "platform/Platform.h"
#include "support/ObjectRef.h"

namespace dwl {

namespace {
// Connect modes of the host's add-in interface.
constexpr int kConnectAfterStartup = 0;
constexpr int kConnectExternal = 2;
}  // namespace

Connect::Connect() = default;

Connect::~Connect() = default;

void Connect::IDTExtensibility2_OnConnection(std::shared_ptr<host::Application> Application, int,
                                             std::shared_ptr<host::AddInInstance> AddInInst,
                                             const Custom&) {
  std::string progId = Use(AddInInst)->ProgId();
  frmAddIn::Instance()->InitHandler(Application, progId);
}

void Connect::IDTExtensibility2_OnDisconnection(int, const Custom&) {
  frmAddIn::Instance()->UnInitHandler();
}

void Connect::AddinInstance_OnConnection(std::shared_ptr<host::Application> Application,
                                         int connectMode, std::shared_ptr<host::AddInInstance>,
                                         const Custom&) {
  hostApplication_ = std::move(Application);
  // An external client always sees the window; after start-up, only when
  // it was left shown last time.
  const bool show =
      connectMode == kConnectExternal ||
      (connectMode == kConnectAfterStartup &&
       Use(ThePlatform().settingsStore)
               .GetSetting(kSettingsAppTitle, kSettingsSection, kDisplayOnConnect, "0") == "1");
  if (show) Show();
}

void Connect::AddinInstance_OnDisconnection(int, const Custom&) {
  SettingsStore& store = Use(ThePlatform().settingsStore);
  if (hubShown_) {
    store.SaveSetting(kSettingsAppTitle, kSettingsSection, kDisplayOnConnect, "1");
    hubShown_ = false;
  } else {
    store.SaveSetting(kSettingsAppTitle, kSettingsSection, kDisplayOnConnect, "0");
  }
  if (!ownHub_) ownHub_ = std::make_shared<frmAddIn>();
  ownHub_->Unload();
  ownHub_.reset();
}

void Connect::Hide() {
  hubShown_ = false;
  if (ownHub_) ownHub_->Hide();
}

void Connect::Show() {
  if (!ownHub_) ownHub_ = std::make_shared<frmAddIn>();
  ownHub_->SetConnection(hostApplication_, this);
  hubShown_ = true;
  ownHub_->Show();
}

}  // namespace dwl
