// The item windows and their items.
#include <cstdint>

#include "platform/sim/SimItems.h"
#include "platform/win32/simcom/ConnectionPoint.h"
#include "platform/win32/OutlookIds.h"
#include "platform/win32/simcom/SimComOutlook.h"

namespace dwl::win32::simcom {

using namespace outlook_ids;  // Outlook's numbers

using com::ComVariant;
using Microsoft::WRL::ComPtr;

namespace {

constexpr Member kRecipientMembers[] = {
    {L"Address", dispid::kAddress, MemberKind::Get, 0},
};

class ComRecipient : public AutomationObject {
 public:
  explicit ComRecipient(std::string address) : AutomationObject(kRecipientMembers), address_(std::move(address)) {}

 private:
  ComVariant Call(const Member&, bool, std::span<const ComVariant>) override { return ComVariant(address_); }

  std::string address_;
};

constexpr Member kRecipientsMembers[] = {
    {L"Count", dispid::kCount, MemberKind::Get, 0},
    {L"Item", dispid::kListItem, MemberKind::Method, 1},
};

// Read when asked, so that it follows the message as the host's list does.
class ComRecipients : public AutomationObject {
 public:
  explicit ComRecipients(std::shared_ptr<sim::SimMailItem> mail)
      : AutomationObject(kRecipientsMembers), mail_(std::move(mail)) {}

 private:
  ComVariant Call(const Member& member, bool, std::span<const ComVariant> args) override {
    const std::vector<std::string> all = mail_->AllRecipients();
    if (member.id == dispid::kCount) return ComVariant(static_cast<std::int32_t>(all.size()));
    const std::int32_t index = args[0].ToInt32();
    if (index < 1 || static_cast<std::size_t>(index) > all.size()) {
      throw Error(errc::kInvalidCall, "Recipients.Item", "Array index out of bounds");
    }
    return ObjectResult(Make<ComRecipient>(all[static_cast<std::size_t>(index - 1)]));
  }

  std::shared_ptr<sim::SimMailItem> mail_;
};

constexpr Member kMailItemMembers[] = {
    {L"Class", dispid::kClass, MemberKind::Get, 0},
    {L"Sent", dispid::kSent, MemberKind::Get, 0},
    {L"Mileage", dispid::kMileage, MemberKind::GetPut, 0},
    {L"Save", dispid::kSave, MemberKind::Method, 0},
    {L"Subject", dispid::kSubject, MemberKind::GetPut, 0},
    {L"Recipients", dispid::kRecipients, MemberKind::Get, 0},
    {L"Attachments", dispid::kAttachments, MemberKind::Get, 0},
    {L"Body", dispid::kBody, MemberKind::GetPut, 0},
    {L"HTMLBody", dispid::kHTMLBody, MemberKind::GetPut, 0},
    {L"BodyFormat", dispid::kBodyFormat, MemberKind::GetPut, 0},
};

class ComMailItem : public AutomationObject {
 public:
  ComMailItem(std::shared_ptr<host::MailItem> mail, bool events10)
      : AutomationObject(kMailItemMembers),
        mail_(std::move(mail)),
        sim_(std::dynamic_pointer_cast<sim::SimMailItem>(mail_)),
        events10_(*this, kItemEvents10, "ItemEvents_10"),
        events_(*this, kItemEvents, "ItemEvents") {
    if (events10) Offer(events10_);
    Offer(events_);
    send_ = mail_->OnSend([this](bool& cancel) { FireCancel(dispid::kSend, cancel); });
    close_ = mail_->OnClose([this](bool& cancel) { FireCancel(dispid::kItemClose, cancel); });
  }

 private:
  ComVariant Call(const Member& member, bool put, std::span<const ComVariant> args) override {
    switch (member.id) {
      case dispid::kClass: return ComVariant(static_cast<std::int32_t>(kClassMail));
      case dispid::kSent: return ComVariant(mail_->Sent());
      case dispid::kMileage:
        if (put) {
          mail_->SetMileage(args.back().ToText());
          return {};
        }
        return ComVariant(mail_->Mileage());
      case dispid::kSave: mail_->Save(); return {};
    }
    return CallOnMessage(member, put, args);
  }

  // The message's own fields, which only the simulated mail item holds.
  ComVariant CallOnMessage(const Member& member, bool put, std::span<const ComVariant> args) {
    if (!sim_) throw Error(errc::kMemberNotSupported, "MailItem", "Object doesn't support this property or method");
    switch (member.id) {
      case dispid::kRecipients: return ObjectResult(Make<ComRecipients>(sim_));
      case dispid::kAttachments: return ObjectResult(ExposeCount([mail = sim_] { return mail->hostAttachments; }));
      case dispid::kSubject: return TextProperty(sim_->subject, put, args);
      case dispid::kBody: return TextProperty(sim_->body, put, args);
      case dispid::kHTMLBody: return TextProperty(sim_->htmlBody, put, args);
      case dispid::kBodyFormat:
        if (put) sim_->bodyFormat = args.back().ToInt32();
        return ComVariant(static_cast<std::int32_t>(sim_->bodyFormat));
    }
    return {};
  }

  static ComVariant TextProperty(std::string& field, bool put, std::span<const ComVariant> args) {
    if (put) field = args.back().ToText();
    return ComVariant(field);
  }

  // Cancel goes to the sinks by reference: each sees what the one before
  // left, and the last one's word is the host's.
  void FireCancel(DISPID event, bool& cancel) {
    VARIANT_BOOL value = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANTARG arg;
    VariantInit(&arg);
    arg.vt = VT_BOOL | VT_BYREF;
    arg.pboolVal = &value;
    auto failure = Fire(event, std::span<VARIANTARG>(&arg, 1));
    cancel = value != VARIANT_FALSE;
    if (failure) throw *failure;
  }

  std::shared_ptr<host::MailItem> mail_;
  std::shared_ptr<sim::SimMailItem> sim_;
  ConnectionPoint events10_;
  ConnectionPoint events_;
  host::EventConnection send_;
  host::EventConnection close_;
};

// A contact, a note, ...: none of the mail item's members.
class ComOtherItem : public AutomationObject {
 public:
  explicit ComOtherItem(std::shared_ptr<host::OutlookItem> item) : AutomationObject({}), item_(std::move(item)) {}

 private:
  ComVariant Call(const Member&, bool, std::span<const ComVariant>) override { return {}; }

  std::shared_ptr<host::OutlookItem> item_;
};

constexpr Member kInspectorMembers[] = {
    {L"CurrentItem", dispid::kCurrentItem, MemberKind::Get, 0},
    {L"Caption", dispid::kCaption, MemberKind::Get, 0},
    {L"CommandBars", dispid::kCommandBars, MemberKind::Get, 0},
};

class ComInspector : public AutomationObject {
 public:
  ComInspector(std::shared_ptr<host::Inspector> inspector, bool events10)
      : AutomationObject(kInspectorMembers),
        inspector_(std::move(inspector)),
        hasEvents10_(events10),
        events10_(*this, kInspectorEvents10, "InspectorEvents_10"),
        events_(*this, kInspectorEvents, "InspectorEvents") {
    if (events10) Offer(events10_);
    Offer(events_);
    activate_ = inspector_->OnActivate([this] {
      if (auto failure = Fire(dispid::kActivate, {})) throw *failure;
    });
  }

 private:
  ComVariant Call(const Member& member, bool, std::span<const ComVariant>) override {
    if (member.id == dispid::kCurrentItem) return ObjectResult(ExposeItem(inspector_->CurrentItem(), hasEvents10_));
    if (member.id == dispid::kCommandBars) return ObjectResult(ExposeCommandBars(inspector_->GetCommandBars()));
    return ComVariant(inspector_->Caption());
  }

  std::shared_ptr<host::Inspector> inspector_;
  bool hasEvents10_;
  ConnectionPoint events10_;
  ConnectionPoint events_;
  host::EventConnection activate_;
};

constexpr Member kInspectorsMembers[] = {
    {L"Count", dispid::kCount, MemberKind::Get, 0},
    {L"Item", dispid::kItem, MemberKind::Method, 1},
};

class ComInspectors : public AutomationObject {
 public:
  ComInspectors(std::shared_ptr<host::Inspectors> inspectors, bool events10)
      : AutomationObject(kInspectorsMembers),
        inspectors_(std::move(inspectors)),
        events10_(events10),
        events_(*this, kInspectorsEvents, "InspectorsEvents") {
    Offer(events_);
    newInspector_ = inspectors_->OnNewInspector([this](std::shared_ptr<host::Inspector> inspector) {
      const ComPtr<IDispatch> shown = ExposeInspector(std::move(inspector), events10_);
      VARIANTARG arg;
      VariantInit(&arg);
      arg.vt = VT_DISPATCH;
      arg.pdispVal = shown.Get();  // lent for the call; a sink that keeps it adds its own reference
      if (auto failure = Fire(dispid::kNewInspector, std::span<VARIANTARG>(&arg, 1))) throw *failure;
    });
  }

 private:
  ComVariant Call(const Member& member, bool, std::span<const ComVariant> args) override {
    if (member.id == dispid::kCount) return ComVariant(static_cast<std::int32_t>(inspectors_->Count()));
    return ObjectResult(ExposeInspector(inspectors_->Item(args[0].ToInt32()), events10_));
  }

  std::shared_ptr<host::Inspectors> inspectors_;
  bool events10_;
  ConnectionPoint events_;
  host::EventConnection newInspector_;
};

}  // namespace

ComPtr<IDispatch> ExposeInspectors(std::shared_ptr<host::Inspectors> inspectors, bool events10) {
  return inspectors ? AutomationObject::Make<ComInspectors>(std::move(inspectors), events10) : nullptr;
}

ComPtr<IDispatch> ExposeInspector(std::shared_ptr<host::Inspector> inspector, bool events10) {
  return inspector ? AutomationObject::Make<ComInspector>(std::move(inspector), events10) : nullptr;
}

ComPtr<IDispatch> ExposeItem(std::shared_ptr<host::OutlookItem> item, bool events10) {
  if (!item) return nullptr;
  std::shared_ptr<host::MailItem> mail;
  try {
    mail = item->AsMailItem();
  } catch (const Error& failure) {
    // The host's answer for an item of another kind; anything else is a failure.
    if (failure.Number() != errc::kTypeMismatch) throw;
  }
  if (mail) return AutomationObject::Make<ComMailItem>(std::move(mail), events10);
  return AutomationObject::Make<ComOtherItem>(std::move(item));
}

}  // namespace dwl::win32::simcom
