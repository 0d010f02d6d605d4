#include "platform/sim/SimItems.h"

#include "platform/sim/SimFaults.h"

namespace dwl::sim {

void SimMailItem::Save() {
  ++saves;
  if (saves == failOnSave) throw Error(errc::kUnknown, "MailItem.Save", failReason);
}

std::vector<std::string> SimMailItem::AllRecipients() const {
  std::vector<std::string> all;
  for (const auto* kind : {&to, &cc, &bcc}) all.insert(all.end(), kind->begin(), kind->end());
  return all;
}

host::EventConnection SimMailItem::OnSend(CancelHandler handler) {
  SimFaults::Current().Check("MailItem.Send");
  return send_.Add(std::move(handler));
}

host::EventConnection SimMailItem::OnClose(CancelHandler handler) {
  SimFaults::Current().Check("MailItem.Close");
  return close_.Add(std::move(handler));
}

bool SimMailItem::RaiseSend() {
  bool cancel = false;
  send_.Raise(report_, cancel);
  return !cancel;
}

bool SimMailItem::RaiseClose() {
  bool cancel = false;
  close_.Raise(report_, cancel);
  return !cancel;
}

std::shared_ptr<host::MailItem> SimOtherItem::AsMailItem() {
  // The host says no more than this when an item is taken as the wrong kind.
  throw Error(errc::kTypeMismatch, "Inspector.CurrentItem (" + messageClass_ + ")", "Type mismatch");
}

SimInspector::SimInspector(std::string name, std::shared_ptr<host::OutlookItem> item,
                           std::shared_ptr<SimCommandBars> bars, HostErrorReport report)
    : name_(std::move(name)),
      item_(std::move(item)),
      mail_(std::dynamic_pointer_cast<SimMailItem>(item_)),
      bars_(std::move(bars)),
      report_(std::move(report)) {}

std::shared_ptr<host::OutlookItem> SimInspector::CurrentItem() {
  return SimFaults::Current().Hand("Inspector.CurrentItem", item_);
}

std::shared_ptr<host::CommandBars> SimInspector::GetCommandBars() {
  return SimFaults::Current().Hand<host::CommandBars>("Inspector.CommandBars", bars_);
}

}  // namespace dwl::sim
