// The Office command bars of a host window over IDispatch: the bars, one
// toolbar, its controls and a control or button in it, with the button's
// Click. A call that hands back Nothing gives nullptr. Each adapter holds one
// reference to its object and lets go of it when it goes; a Click connection
// holds the button until it is dropped. Host thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/CommandBars.h"
#include "platform/win32/com/DispatchObject.h"

namespace dwl::win32::outlook {

// An adapter for `object`, or nullptr for Nothing.
std::shared_ptr<host::CommandBars> CommandBarsFrom(Microsoft::WRL::ComPtr<IDispatch> object);

class CommandBarsAdapter final : public host::CommandBars {
 public:
  explicit CommandBarsAdapter(com::DispatchObject bars) : bars_(std::move(bars)) {}

  std::shared_ptr<host::CommandBarControl> FindControlById(int id) override;
  std::shared_ptr<host::CommandBarControl> FindControlByTag(const std::string& tag) override;
  std::shared_ptr<host::CommandBar> Add(const std::string& name, int position, bool menuBar,
                                        bool temporary) override;

 private:
  com::DispatchObject bars_;
};

class CommandBarAdapter final : public host::CommandBar {
 public:
  explicit CommandBarAdapter(com::DispatchObject bar) : bar_(std::move(bar)) {}

  std::string Name() override;
  bool Enabled() override;
  void SetEnabled(bool enabled) override;
  bool Visible() override;
  void SetVisible(bool visible) override;
  int Protection() override;
  void SetProtection(int protection) override;
  std::shared_ptr<host::CommandBarControls> Controls() override;
  void Delete() override;

 private:
  com::DispatchObject bar_;
};

class CommandBarControlsAdapter final : public host::CommandBarControls {
 public:
  explicit CommandBarControlsAdapter(com::DispatchObject controls) : controls_(std::move(controls)) {}

  int Count() override;
  std::shared_ptr<host::CommandBarControl> Add(int type, int id, const std::string& parameter, int before,
                                               bool temporary) override;

 private:
  com::DispatchObject controls_;
};

// The members every control has, for the plain control and the button alike.
template <class Interface>
class ControlMembers : public Interface {
 public:
  explicit ControlMembers(com::DispatchObject control) : control_(std::move(control)) {}

  int Id() override;
  std::string Tag() override;
  void SetTag(const std::string& tag) override;
  std::string Caption() override;
  void SetCaption(const std::string& caption) override;
  bool Visible() override;
  void SetVisible(bool visible) override;
  bool Enabled() override;
  void SetEnabled(bool enabled) override;
  std::shared_ptr<host::CommandBar> Parent() override;

 protected:
  com::DispatchObject control_;
};

// Both are made in OutlookCommandBars.cpp.
extern template class ControlMembers<host::CommandBarControl>;
extern template class ControlMembers<host::CommandBarButton>;

class CommandBarControlAdapter final : public ControlMembers<host::CommandBarControl> {
 public:
  using ControlMembers::ControlMembers;

  // Fails with dwl::Error (13) unless the control's Type is a button's.
  std::shared_ptr<host::CommandBarButton> AsButton() override;
};

class CommandBarButtonAdapter final : public ControlMembers<host::CommandBarButton>,
                                      public std::enable_shared_from_this<CommandBarButtonAdapter> {
 public:
  using ControlMembers::ControlMembers;

  std::shared_ptr<host::CommandBarButton> AsButton() override { return shared_from_this(); }
  int Style() override;
  void SetStyle(int style) override;
  void PasteFace() override;
  // `ctrl` is the button the host names in the event (this one when it names
  // none); what the handler leaves in `cancelDefault` goes back to the host.
  host::EventConnection OnClick(ClickHandler handler) override;
};

}  // namespace dwl::win32::outlook
