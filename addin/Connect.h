// The add-in's entry object: what Outlook creates and connects. It hands the
// host application to the process-wide hub on connection and lets go of it
// on disconnection, and remembers in the per-user store whether a hub window
// was left shown ("DisplayOnConnect").
#pragma once

#include <memory>
#include <string>

#include "platform/OutlookObjects.h"

namespace dwl {

class frmAddIn;

class Connect : public host::AddInEntry {
 public:
  static constexpr const char* kProgId = "DWLOutlookAddin.Connect";
  static constexpr const char* kFriendlyName = "Dropwell Outlook AddIn";
  static constexpr const char* kDescription = "Enables Outlook to use the Dropwell service.";
  static constexpr int kLoadBehavior = 3;
  // Where "DisplayOnConnect" lives in the per-user settings store.
  static constexpr const char* kSettingsAppTitle = "DWLOutlookAddin";
  static constexpr const char* kSettingsSection = "Settings";
  static constexpr const char* kDisplayOnConnect = "DisplayOnConnect";

  Connect();
  ~Connect() override;

  void IDTExtensibility2_OnConnection(std::shared_ptr<host::Application> Application,
                                      int connectMode,
                                      std::shared_ptr<host::AddInInstance> AddInInst,
                                      const Custom& custom) override;
  void IDTExtensibility2_OnDisconnection(int removeMode, const Custom& custom) override;
  void IDTExtensibility2_OnAddInsUpdate(const Custom&) override {}
  void IDTExtensibility2_OnStartupComplete(const Custom&) override {}
  void IDTExtensibility2_OnBeginShutdown(const Custom&) override {}
  void AddinInstance_OnConnection(std::shared_ptr<host::Application> Application,
                                  int connectMode,
                                  std::shared_ptr<host::AddInInstance> AddInInst,
                                  const Custom& custom) override;
  void AddinInstance_OnDisconnection(int removeMode, const Custom& custom) override;

  void Hide();
  void Show();

  bool HubShown() const { return hubShown_; }
  // The window Show shows (not the process-wide hub), or nullptr.
  const std::shared_ptr<frmAddIn>& OwnHubWindow() const { return ownHub_; }

 private:
  std::shared_ptr<host::Application> hostApplication_;
  bool hubShown_ = false;
  std::shared_ptr<frmAddIn> ownHub_;
};

}  // namespace dwl
