// The Office command bars of an item window.
#include <cstdint>
#include <type_traits>

#include "platform/win32/simcom/ConnectionPoint.h"
#include "platform/win32/OutlookIds.h"
#include "platform/win32/simcom/SimComOutlook.h"

namespace dwl::win32::simcom {

using namespace office_ids;  // Office's numbers

using com::ComVariant;
using Microsoft::WRL::ComPtr;

namespace {

template <class T>
T ValueOf(const ComVariant& value) {
  if constexpr (std::is_same_v<T, bool>) {
    return value.ToBool();
  } else if constexpr (std::is_same_v<T, int>) {
    return value.ToInt32();
  } else {
    return value.ToText();
  }
}

// A property of `object` that can be written too: a put hands its value to
// `set`, anything else reads `get`.
template <class Object, class Value, class Param>
ComVariant Property(Object& object, Value (Object::*get)(), void (Object::*set)(Param), bool put,
                    std::span<const ComVariant> args) {
  if (!put) return ComVariant((object.*get)());
  (object.*set)(ValueOf<std::remove_cvref_t<Param>>(args.back()));
  return {};
}

constexpr Member kControlMembers[] = {
    {L"Id", dispid::kControlId, MemberKind::Get, 0},
    {L"Type", dispid::kControlType, MemberKind::Get, 0},
    {L"Tag", dispid::kControlTag, MemberKind::GetPut, 0},
    {L"Caption", dispid::kControlCaption, MemberKind::GetPut, 0},
    {L"Visible", dispid::kControlVisible, MemberKind::GetPut, 0},
    {L"Enabled", dispid::kControlEnabled, MemberKind::GetPut, 0},
    {L"Parent", dispid::kControlParent, MemberKind::Get, 0},
    // A button's alone from here on.
    {L"Style", dispid::kStyle, MemberKind::GetPut, 0},
    {L"PasteFace", dispid::kPasteFace, MemberKind::Method, 0},
};
constexpr std::size_t kPlainControlMembers = 7;

// A control; a button also has the button's members and its Click.
class ComControl : public AutomationObject {
 public:
  ComControl(std::shared_ptr<host::CommandBarControl> control, std::shared_ptr<host::CommandBarButton> button)
      : AutomationObject(button ? std::span<const Member>(kControlMembers)
                                : std::span<const Member>(kControlMembers).first(kPlainControlMembers)),
        control_(std::move(control)),
        button_(std::move(button)),
        events_(*this, kCommandBarButtonEvents, "_CommandBarButtonEvents") {
    if (!button_) return;
    Offer(events_);
    click_ = button_->OnClick([this](host::CommandBarButton&, bool& cancelDefault) { FireClick(cancelDefault); });
  }

 private:
  ComVariant Call(const Member& member, bool put, std::span<const ComVariant> args) override {
    using Control = host::CommandBarControl;
    using Button = host::CommandBarButton;
    switch (member.id) {
      case dispid::kControlId: return ComVariant(static_cast<std::int32_t>(control_->Id()));
      // The host tells only whether a control is a button.
      case dispid::kControlType:
        return ComVariant(static_cast<std::int32_t>(button_ ? host::office::kControlButton : kControlCustom));
      case dispid::kControlTag: return Property(*control_, &Control::Tag, &Control::SetTag, put, args);
      case dispid::kControlCaption: return Property(*control_, &Control::Caption, &Control::SetCaption, put, args);
      case dispid::kControlVisible: return Property(*control_, &Control::Visible, &Control::SetVisible, put, args);
      case dispid::kControlEnabled: return Property(*control_, &Control::Enabled, &Control::SetEnabled, put, args);
      case dispid::kControlParent: return ObjectResult(ExposeCommandBar(control_->Parent()));
      case dispid::kStyle: return Property(*button_, &Button::Style, &Button::SetStyle, put, args);
      case dispid::kPasteFace: button_->PasteFace(); return {};
    }
    return {};
  }

  // The sinks get this button and CancelDefault by reference, each seeing
  // what the one before left; the last one's word goes back to the host.
  void FireClick(bool& cancelDefault) {
    VARIANT_BOOL value = cancelDefault ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANTARG args[2];  // the last parameter first
    VariantInit(&args[0]);
    args[0].vt = VT_BOOL | VT_BYREF;
    args[0].pboolVal = &value;
    VariantInit(&args[1]);
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = static_cast<IDispatch*>(this);  // lent for the call
    auto failure = Fire(dispid::kClick, args);
    cancelDefault = value != VARIANT_FALSE;
    if (failure) throw *failure;
  }

  std::shared_ptr<host::CommandBarControl> control_;
  std::shared_ptr<host::CommandBarButton> button_;
  ConnectionPoint events_;
  host::EventConnection click_;
};

constexpr Member kControlsMembers[] = {
    {L"Count", dispid::kControlsCount, MemberKind::Get, 0},
    {L"Add", dispid::kControlsAdd, MemberKind::Method, 5},
};

class ComControls : public AutomationObject {
 public:
  explicit ComControls(std::shared_ptr<host::CommandBarControls> controls)
      : AutomationObject(kControlsMembers), controls_(std::move(controls)) {}

 private:
  ComVariant Call(const Member& member, bool, std::span<const ComVariant> args) override {
    if (member.id == dispid::kControlsCount) return ComVariant(static_cast<std::int32_t>(controls_->Count()));
    return ObjectResult(ExposeCommandBarControl(
        controls_->Add(args[0].ToInt32(), args[1].ToInt32(), args[2].ToText(), args[3].ToInt32(), args[4].ToBool())));
  }

  std::shared_ptr<host::CommandBarControls> controls_;
};

constexpr Member kBarMembers[] = {
    {L"Name", dispid::kBarName, MemberKind::Get, 0},
    {L"Enabled", dispid::kBarEnabled, MemberKind::GetPut, 0},
    {L"Visible", dispid::kBarVisible, MemberKind::GetPut, 0},
    {L"Protection", dispid::kBarProtection, MemberKind::GetPut, 0},
    {L"Controls", dispid::kBarControls, MemberKind::Get, 0},
    {L"Delete", dispid::kBarDelete, MemberKind::Method, 0},
};

class ComCommandBar : public AutomationObject {
 public:
  explicit ComCommandBar(std::shared_ptr<host::CommandBar> bar) : AutomationObject(kBarMembers), bar_(std::move(bar)) {}

 private:
  ComVariant Call(const Member& member, bool put, std::span<const ComVariant> args) override {
    using Bar = host::CommandBar;
    switch (member.id) {
      case dispid::kBarName: return ComVariant(bar_->Name());
      case dispid::kBarEnabled: return Property(*bar_, &Bar::Enabled, &Bar::SetEnabled, put, args);
      case dispid::kBarVisible: return Property(*bar_, &Bar::Visible, &Bar::SetVisible, put, args);
      case dispid::kBarProtection: return Property(*bar_, &Bar::Protection, &Bar::SetProtection, put, args);
      case dispid::kBarControls: return ObjectResult(ExposeCommandBarControls(bar_->Controls()));
      case dispid::kBarDelete: bar_->Delete(); return {};
    }
    return {};
  }

  std::shared_ptr<host::CommandBar> bar_;
};

constexpr Member kBarsMembers[] = {
    {L"Add", dispid::kBarsAdd, MemberKind::Method, 4},
    {L"FindControl", dispid::kFindControl, MemberKind::Method, 4},
};

class ComCommandBars : public AutomationObject {
 public:
  explicit ComCommandBars(std::shared_ptr<host::CommandBars> bars)
      : AutomationObject(kBarsMembers), bars_(std::move(bars)) {}

 private:
  ComVariant Call(const Member& member, bool, std::span<const ComVariant> args) override {
    if (member.id == dispid::kBarsAdd) {
      return ObjectResult(
          ExposeCommandBar(bars_->Add(args[0].ToText(), args[1].ToInt32(), args[2].ToBool(), args[3].ToBool())));
    }
    // FindControl(Type, Id, Tag, Visible): the host finds by id or by tag
    // alone, so Type and Visible narrow nothing.
    std::shared_ptr<host::CommandBarControl> found;
    if (!args[1].IsMissing()) {
      found = bars_->FindControlById(args[1].ToInt32());
    } else if (!args[2].IsMissing()) {
      found = bars_->FindControlByTag(args[2].ToText());
    } else {
      throw Error(errc::kInvalidCall, "CommandBars.FindControl", "Invalid procedure call or argument: no Id or Tag");
    }
    return ObjectResult(ExposeCommandBarControl(std::move(found)));
  }

  std::shared_ptr<host::CommandBars> bars_;
};

}  // namespace

ComPtr<IDispatch> ExposeCommandBars(std::shared_ptr<host::CommandBars> bars) {
  return bars ? AutomationObject::Make<ComCommandBars>(std::move(bars)) : nullptr;
}

ComPtr<IDispatch> ExposeCommandBar(std::shared_ptr<host::CommandBar> bar) {
  return bar ? AutomationObject::Make<ComCommandBar>(std::move(bar)) : nullptr;
}

ComPtr<IDispatch> ExposeCommandBarControls(std::shared_ptr<host::CommandBarControls> controls) {
  return controls ? AutomationObject::Make<ComControls>(std::move(controls)) : nullptr;
}

ComPtr<IDispatch> ExposeCommandBarControl(std::shared_ptr<host::CommandBarControl> control) {
  if (!control) return nullptr;
  std::shared_ptr<host::CommandBarButton> button;
  try {
    button = control->AsButton();
  } catch (const Error& failure) {
    // The host's answer for a control of another type; anything else is a failure.
    if (failure.Number() != errc::kTypeMismatch) throw;
  }
  return AutomationObject::Make<ComControl>(std::move(control), std::move(button));
}

}  // namespace dwl::win32::simcom
