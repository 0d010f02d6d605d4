// The Outlook object model as the add-in uses it: the application, its main
// windows (explorers), its item windows (inspectors), mail items and the
// add-in's own connection. Objects are shared references, like COM objects;
// any call may fail with dwl::Error, as a host call may. Events are raised on
// the host's one thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/CommandBars.h"
#include "platform/EventConnection.h"

namespace dwl::host {

class MailItem;

// What an item window shows: a mail, a contact, a note, ...
class OutlookItem {
 public:
  virtual ~OutlookItem() = default;
  // The item as a mail item; any other kind of item fails (type mismatch).
  virtual std::shared_ptr<MailItem> AsMailItem() = 0;
};

class MailItem : public OutlookItem {
 public:
  virtual bool Sent() = 0;
  virtual std::string Mileage() = 0;
  virtual void SetMileage(const std::string& mileage) = 0;
  virtual void Save() = 0;
  // Raised before the item is sent or its window closes; `cancel` is the
  // host's and the add-in never changes it.
  using CancelHandler = std::function<void(bool& cancel)>;
  virtual EventConnection OnSend(CancelHandler handler) = 0;
  virtual EventConnection OnClose(CancelHandler handler) = 0;
};

class Inspector {
 public:
  virtual ~Inspector() = default;
  virtual std::shared_ptr<OutlookItem> CurrentItem() = 0;
  virtual std::string Caption() = 0;
  virtual std::shared_ptr<CommandBars> GetCommandBars() = 0;
  // Raised when the window is shown and each time it gets the focus.
  virtual EventConnection OnActivate(std::function<void()> handler) = 0;
};

class Inspectors {
 public:
  virtual ~Inspectors() = default;
  virtual int Count() = 0;
  // `index` counts from 1.
  virtual std::shared_ptr<Inspector> Item(int index) = 0;
  virtual EventConnection OnNewInspector(std::function<void(std::shared_ptr<Inspector>)> handler) = 0;
};

class Explorer {
 public:
  virtual ~Explorer() = default;
  virtual EventConnection OnClose(std::function<void()> handler) = 0;
};

class Explorers {
 public:
  virtual ~Explorers() = default;
  virtual int Count() = 0;
};

class NameSpace {
 public:
  virtual ~NameSpace() = default;
};

class Application {
 public:
  virtual ~Application() = default;
  virtual std::shared_ptr<NameSpace> GetNamespace(const std::string& type) = 0;
  virtual std::shared_ptr<Explorer> ActiveExplorer() = 0;
  virtual std::shared_ptr<Explorers> GetExplorers() = 0;
  virtual std::shared_ptr<Inspectors> GetInspectors() = 0;
  virtual std::shared_ptr<Inspector> ActiveInspector() = 0;
  virtual std::string Version() = 0;
  virtual std::string ProductCode() = 0;
};

// The add-in instance the host passes on connection.
class AddInInstance {
 public:
  virtual ~AddInInstance() = default;
  virtual std::string ProgId() = 0;
};

// The host's add-in interface and the add-in designer's connection events:
// what the host calls on the add-in's entry object.
class AddInEntry {
 public:
  using Custom = std::vector<std::string>;
  virtual ~AddInEntry() = default;
  virtual void IDTExtensibility2_OnConnection(std::shared_ptr<Application> Application,
                                              int connectMode,
                                              std::shared_ptr<AddInInstance> AddInInst,
                                              const Custom& custom) = 0;
  virtual void IDTExtensibility2_OnDisconnection(int removeMode, const Custom& custom) = 0;
  virtual void IDTExtensibility2_OnAddInsUpdate(const Custom& custom) = 0;
  virtual void IDTExtensibility2_OnStartupComplete(const Custom& custom) = 0;
  virtual void IDTExtensibility2_OnBeginShutdown(const Custom& custom) = 0;
  virtual void AddinInstance_OnConnection(std::shared_ptr<Application> Application,
                                          int connectMode,
                                          std::shared_ptr<AddInInstance> AddInInst,
                                          const Custom& custom) = 0;
  virtual void AddinInstance_OnDisconnection(int removeMode, const Custom& custom) = 0;
};

}  // namespace dwl::host
