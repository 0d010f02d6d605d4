// Simulated Outlook items and item windows. A mail item keeps what a compose
// window shows: subject, recipients, plain and HTML body, the host's own
// attachments, Mileage and the sent mark.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/OutlookObjects.h"
#include "platform/sim/EventList.h"
#include "platform/sim/SimCommandBars.h"

namespace dwl::sim {

// Outlook's body formats.
inline constexpr int kFormatPlain = 1;
inline constexpr int kFormatHTML = 2;

class SimMailItem : public host::MailItem, public std::enable_shared_from_this<SimMailItem> {
 public:
  explicit SimMailItem(HostErrorReport report) : report_(std::move(report)) {}

  std::shared_ptr<host::MailItem> AsMailItem() override { return shared_from_this(); }
  bool Sent() override { return sent; }
  std::string Mileage() override { return mileage; }
  void SetMileage(const std::string& value) override { mileage = value; }
  void Save() override;
  host::EventConnection OnSend(CancelHandler handler) override;
  host::EventConnection OnClose(CancelHandler handler) override;

  // The host raises Send; true when the handlers left it to go.
  bool RaiseSend();
  bool RaiseClose();

  // Every recipient, To then Cc then Bcc, as the host lists them.
  std::vector<std::string> AllRecipients() const;

  std::string subject;
  std::vector<std::string> to, cc, bcc;
  std::string body;
  std::string htmlBody;
  int bodyFormat = kFormatPlain;
  int hostAttachments = 0;
  bool sent = false;
  std::string mileage;
  int saves = 0;
  // Save number `failOnSave` (counting from 1; 0 for none) fails with
  // `failReason`, as a full store would.
  int failOnSave = 0;
  std::string failReason = "The operation failed.";

 private:
  HostErrorReport report_;
  EventList<bool&> send_;
  EventList<bool&> close_;
};

// An item of another kind: taking it as a mail item fails, as in the host.
class SimOtherItem : public host::OutlookItem {
 public:
  explicit SimOtherItem(std::string messageClass) : messageClass_(std::move(messageClass)) {}
  std::shared_ptr<host::MailItem> AsMailItem() override;

 private:
  std::string messageClass_;
};

class SimInspector : public host::Inspector {
 public:
  SimInspector(std::string name, std::shared_ptr<host::OutlookItem> item,
               std::shared_ptr<SimCommandBars> bars, HostErrorReport report);

  std::shared_ptr<host::OutlookItem> CurrentItem() override;
  std::string Caption() override { return name_ + " - Message"; }
  std::shared_ptr<host::CommandBars> GetCommandBars() override;
  host::EventConnection OnActivate(std::function<void()> handler) override {
    return activate_.Add(std::move(handler));
  }

  void RaiseActivate() { activate_.Raise(report_); }
  // The window closed: the names of its temporary toolbars as the Close
  // handlers left them, before the host discarded them.
  std::optional<std::vector<std::string>> toolbarsAtClose;
  const std::string& Name() const { return name_; }
  // The mail item, or nullptr for another kind of item.
  std::shared_ptr<SimMailItem> Mail() const { return mail_; }
  SimCommandBars& Bars() { return *bars_; }

 private:
  std::string name_;
  std::shared_ptr<host::OutlookItem> item_;
  std::shared_ptr<SimMailItem> mail_;
  std::shared_ptr<SimCommandBars> bars_;
  HostErrorReport report_;
  EventList<> activate_;
};

}  // namespace dwl::sim
