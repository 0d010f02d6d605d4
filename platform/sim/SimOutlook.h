// A simulated Outlook: the application object the add-in is connected to,
// and the controls a test or script drives it with (open, activate, close and
// send windows, close explorers, click the add-in's button). Failures the
// add-in's event handlers return to the host are collected in HostErrors().
// One thread, like the host.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/OutlookObjects.h"
#include "platform/sim/SimItems.h"

namespace dwl::sim {

class SimOutlook : public host::Application, public std::enable_shared_from_this<SimOutlook> {
 public:
  // `version` as Application.Version gives it, e.g. "11.0.8217".
  static std::shared_ptr<SimOutlook> Create(std::string version, int explorers);
  SimOutlook(std::string version, int explorers);

  // host::Application
  std::shared_ptr<host::NameSpace> GetNamespace(const std::string& type) override;
  std::shared_ptr<host::Explorer> ActiveExplorer() override;
  std::shared_ptr<host::Explorers> GetExplorers() override;
  std::shared_ptr<host::Inspectors> GetInspectors() override;
  std::shared_ptr<host::Inspector> ActiveInspector() override;
  std::string Version() override { return version_; }
  std::string ProductCode() override { return "{90110409-6000-11D3-8CFE-0150048383C9}"; }

  // Driving the host.
  enum class ItemKind { Mail, Contact, Note };
  // A new item window named `name`: NewInspector is raised; the window is the
  // active one. Fails for a name in use.
  std::shared_ptr<SimInspector> Open(const std::string& name, ItemKind kind, bool sent,
                                     bool insertFileVisible);
  void Activate(const std::string& name);
  // The item's Close event; unless cancelled, the window goes and the host
  // discards its temporary toolbars.
  void Close(const std::string& name);
  // The item's Send event; unless cancelled, the host sends the mail.
  void Send(const std::string& name);
  // Closes explorer `index` (1-based; 0 for the active one): its Close event
  // is raised while it still counts, then it goes.
  void CloseExplorer(int index);
  // Clicks the add-in button made last, as long as its window is open.
  void ClickLastButton();
  // Loads an add-in as the host does at start-up (`mode` 1) or later: both
  // connection calls, then start-up complete. A failing call goes to the
  // host's error report, as an event handler's failure does.
  void ConnectAddIn(host::AddInEntry& addIn, const std::string& progId, int mode);
  // Shut-down begins, then both disconnection calls.
  void DisconnectAddIn(host::AddInEntry& addIn);

  std::shared_ptr<SimInspector> Window(const std::string& name) const;
  // The window of that name that closed last, or nullptr.
  std::shared_ptr<SimInspector> ClosedWindow(const std::string& name) const;
  const std::vector<std::shared_ptr<SimInspector>>& Windows() const { return windows_; }
  int ExplorerCount() const { return static_cast<int>(explorers_.size()); }
  // The mails the host sent, in order.
  const std::vector<std::shared_ptr<SimMailItem>>& SentMails() const { return sentMails_; }
  // Failures returned to the host by event handlers since the last call.
  std::vector<Error> TakeHostErrors();
  const HostErrorReport& Report() const { return report_; }

 private:
  class SimExplorer;
  class SimInspectorList;
  class SimExplorerList;

  void CallAddIn(const std::function<void()>& hostCall);

  std::string version_;
  std::shared_ptr<std::vector<Error>> hostErrors_ = std::make_shared<std::vector<Error>>();
  HostErrorReport report_;
  std::vector<std::shared_ptr<SimExplorer>> explorers_;
  std::vector<std::shared_ptr<SimInspector>> windows_;
  std::vector<std::shared_ptr<SimInspector>> closed_;
  std::shared_ptr<SimInspector> active_;
  std::weak_ptr<SimControl> lastButton_;
  std::shared_ptr<SimInspectorList> inspectors_;
  std::vector<std::shared_ptr<SimMailItem>> sentMails_;
};

}  // namespace dwl::sim
