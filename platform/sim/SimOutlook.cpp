#include "platform/sim/SimOutlook.h"

#include <algorithm>

#include "platform/sim/SimFaults.h"

namespace dwl::sim {

namespace {

SimFaults& Faults() { return SimFaults::Current(); }

Error NoSuch(const std::string& what) {
  return Error(errc::kInvalidCall, "SimOutlook", what);
}

class SimNameSpace : public host::NameSpace {};

}  // namespace

class SimOutlook::SimExplorer : public host::Explorer {
 public:
  explicit SimExplorer(HostErrorReport report) : report_(std::move(report)) {}
  host::EventConnection OnClose(std::function<void()> handler) override {
    return close_.Add(std::move(handler));
  }
  void RaiseClose() { close_.Raise(report_); }

 private:
  HostErrorReport report_;
  EventList<> close_;
};

class SimOutlook::SimExplorerList : public host::Explorers {
 public:
  explicit SimExplorerList(std::shared_ptr<SimOutlook> outlook) : outlook_(std::move(outlook)) {}
  int Count() override { return outlook_->ExplorerCount(); }

 private:
  std::shared_ptr<SimOutlook> outlook_;
};

class SimOutlook::SimInspectorList : public host::Inspectors {
 public:
  SimInspectorList(std::weak_ptr<SimOutlook> outlook, HostErrorReport report)
      : outlook_(std::move(outlook)), report_(std::move(report)) {}
  int Count() override {
    const auto outlook = outlook_.lock();
    return outlook ? static_cast<int>(outlook->windows_.size()) : 0;
  }
  std::shared_ptr<host::Inspector> Item(int index) override {
    if (index < 1 || index > Count()) {
      throw Error(errc::kInvalidCall, "Inspectors.Item", "Array index out of bounds");
    }
    return Faults().Hand<host::Inspector>("Inspectors.Item",
                                          outlook_.lock()->windows_[static_cast<std::size_t>(index - 1)]);
  }
  host::EventConnection OnNewInspector(
      std::function<void(std::shared_ptr<host::Inspector>)> handler) override {
    return newInspector_.Add(std::move(handler));
  }
  void RaiseNewInspector(const std::shared_ptr<host::Inspector>& inspector) {
    newInspector_.Raise(report_, inspector);
  }

 private:
  std::weak_ptr<SimOutlook> outlook_;
  HostErrorReport report_;
  EventList<std::shared_ptr<host::Inspector>> newInspector_;
};

SimOutlook::SimOutlook(std::string version, int explorers) : version_(std::move(version)) {
  report_ = [errors = hostErrors_](const Error& failure) { errors->push_back(failure); };
  for (int i = 0; i < explorers; ++i) explorers_.push_back(std::make_shared<SimExplorer>(report_));
}

std::shared_ptr<SimOutlook> SimOutlook::Create(std::string version, int explorers) {
  SimFaults::Current().Clear();
  auto outlook = std::make_shared<SimOutlook>(std::move(version), explorers);
  outlook->inspectors_ = std::make_shared<SimInspectorList>(outlook, outlook->report_);
  return outlook;
}

std::shared_ptr<host::NameSpace> SimOutlook::GetNamespace(const std::string& type) {
  if (type != "MAPI") throw NoSuch("no namespace " + type);
  return Faults().Hand<host::NameSpace>("Application.GetNamespace", std::make_shared<SimNameSpace>());
}

std::shared_ptr<host::Explorer> SimOutlook::ActiveExplorer() {
  return explorers_.empty() ? nullptr : Faults().Hand<host::Explorer>("Application.ActiveExplorer", explorers_.front());
}

std::shared_ptr<host::Explorers> SimOutlook::GetExplorers() {
  return Faults().Hand<host::Explorers>("Application.Explorers",
                                        std::make_shared<SimExplorerList>(shared_from_this()));
}

std::shared_ptr<host::Inspectors> SimOutlook::GetInspectors() {
  return Faults().Hand<host::Inspectors>("Application.Inspectors", inspectors_);
}

std::shared_ptr<host::Inspector> SimOutlook::ActiveInspector() {
  if (!active_) throw NoSuch("no item window is active");
  return Faults().Hand<host::Inspector>("Application.ActiveInspector", active_);
}

std::shared_ptr<SimInspector> SimOutlook::Open(const std::string& name, ItemKind kind, bool sent,
                                               bool insertFileVisible) {
  if (Window(name)) throw NoSuch("a window named " + name + " is open already");
  std::shared_ptr<host::OutlookItem> item;
  if (kind == ItemKind::Mail) {
    auto mail = std::make_shared<SimMailItem>(report_);
    mail->sent = sent;
    item = mail;
  } else {
    item = std::make_shared<SimOtherItem>(kind == ItemKind::Contact ? "IPM.Contact" : "IPM.StickyNote");
  }
  auto bars = SimCommandBars::Create(insertFileVisible, report_,
                                     [weak = weak_from_this()](const auto& control) {
                                       if (const auto self = weak.lock()) self->lastButton_ = control;
                                     });
  auto window = std::make_shared<SimInspector>(name, std::move(item), std::move(bars), report_);
  windows_.push_back(window);
  active_ = window;
  inspectors_->RaiseNewInspector(window);
  return window;
}

std::shared_ptr<SimInspector> SimOutlook::Window(const std::string& name) const {
  for (const auto& window : windows_) {
    if (window->Name() == name) return window;
  }
  return nullptr;
}

std::shared_ptr<SimInspector> SimOutlook::ClosedWindow(const std::string& name) const {
  for (auto it = closed_.rbegin(); it != closed_.rend(); ++it) {
    if ((*it)->Name() == name) return *it;
  }
  return nullptr;
}

void SimOutlook::Activate(const std::string& name) {
  auto window = Window(name);
  if (!window) throw NoSuch("no window named " + name);
  active_ = window;
  window->RaiseActivate();
}

void SimOutlook::Close(const std::string& name) {
  auto window = Window(name);
  if (!window) throw NoSuch("no window named " + name);
  if (const auto mail = window->Mail(); mail && !mail->RaiseClose()) return;
  window->toolbarsAtClose.emplace();
  for (const auto& bar : window->Bars().Bars()) {
    if (bar->Temporary()) window->toolbarsAtClose->push_back(bar->Name());
  }
  window->Bars().DiscardTemporary();
  std::erase(windows_, window);
  closed_.push_back(window);
  if (active_ == window) active_ = windows_.empty() ? nullptr : windows_.back();
}

void SimOutlook::Send(const std::string& name) {
  auto window = Window(name);
  if (!window) throw NoSuch("no window named " + name);
  const auto mail = window->Mail();
  if (!mail) throw NoSuch("the item in " + name + " is no mail");
  if (mail->sent) throw NoSuch("the mail in " + name + " was sent already");
  if (!mail->RaiseSend()) return;
  mail->sent = true;
  sentMails_.push_back(mail);
}

void SimOutlook::CloseExplorer(int index) {
  if (explorers_.empty()) throw NoSuch("no explorer is open");
  if (index < 0 || index > static_cast<int>(explorers_.size())) {
    throw NoSuch("no explorer " + std::to_string(index));
  }
  const auto explorer = explorers_[static_cast<std::size_t>(index == 0 ? 0 : index - 1)];
  explorer->RaiseClose();
  std::erase(explorers_, explorer);
}

void SimOutlook::ClickLastButton() {
  const auto button = lastButton_.lock();
  if (!button || button->Deleted()) throw NoSuch("there is no add-in button to click");
  button->Click();
}

void SimOutlook::ConnectAddIn(host::AddInEntry& addIn, const std::string& progId, int mode) {
  struct Instance : host::AddInInstance {
    std::string progId;
    std::string ProgId() override { return progId; }
  };
  auto instance = std::make_shared<Instance>();
  instance->progId = progId;
  CallAddIn([&] { addIn.IDTExtensibility2_OnConnection(shared_from_this(), mode, instance, {}); });
  CallAddIn([&] { addIn.AddinInstance_OnConnection(shared_from_this(), mode, instance, {}); });
  CallAddIn([&] { addIn.IDTExtensibility2_OnStartupComplete({}); });
}

void SimOutlook::DisconnectAddIn(host::AddInEntry& addIn) {
  CallAddIn([&] { addIn.IDTExtensibility2_OnBeginShutdown({}); });
  CallAddIn([&] { addIn.IDTExtensibility2_OnDisconnection(0, {}); });
  CallAddIn([&] { addIn.AddinInstance_OnDisconnection(0, {}); });
}

void SimOutlook::CallAddIn(const std::function<void()>& hostCall) {
  try {
    hostCall();
  } catch (const Error& failure) {
    report_(failure);
  }
}

std::vector<Error> SimOutlook::TakeHostErrors() {
  std::vector<Error> errors = std::move(*hostErrors_);
  hostErrors_->clear();
  return errors;
}

}  // namespace dwl::sim
