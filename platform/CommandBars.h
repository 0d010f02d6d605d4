// The Office command bars of a window, as the add-in uses them: find a
// control by id or tag, add a temporary toolbar with one button, delete it.
// Every call may fail with dwl::Error, as a host call may.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/EventConnection.h"

namespace dwl::host {

class CommandBar;
class CommandBarButton;

// Office's numbers for the values the add-in passes.
namespace office {
inline constexpr int kBarTop = 1;               // msoBarTop
inline constexpr int kBarNoMove = 4;            // msoBarNoMove
inline constexpr int kControlButton = 1;        // msoControlButton
inline constexpr int kButtonIconAndCaption = 3; // msoButtonIconAndCaption
inline constexpr int kInsertFileControlId = 1079;
}  // namespace office

class CommandBarControl {
 public:
  virtual ~CommandBarControl() = default;
  virtual int Id() = 0;
  virtual std::string Tag() = 0;
  virtual void SetTag(const std::string& tag) = 0;
  virtual std::string Caption() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual bool Visible() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Enabled() = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // The toolbar that holds the control.
  virtual std::shared_ptr<CommandBar> Parent() = 0;
  // The same control as a button; a control of another type fails (type mismatch).
  virtual std::shared_ptr<CommandBarButton> AsButton() = 0;
};

class CommandBarButton : public CommandBarControl {
 public:
  virtual int Style() = 0;
  virtual void SetStyle(int style) = 0;
  // Takes the button's picture from the bitmap on the clipboard.
  virtual void PasteFace() = 0;
  // `cancelDefault` is the host's; the add-in leaves it as it is.
  using ClickHandler = std::function<void(CommandBarButton& ctrl, bool& cancelDefault)>;
  virtual EventConnection OnClick(ClickHandler handler) = 0;
};

class CommandBarControls {
 public:
  virtual ~CommandBarControls() = default;
  virtual int Count() = 0;
  virtual std::shared_ptr<CommandBarControl> Add(int type, int id, const std::string& parameter,
                                                 int before, bool temporary) = 0;
};

class CommandBar {
 public:
  virtual ~CommandBar() = default;
  virtual std::string Name() = 0;
  virtual bool Enabled() = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Visible() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual int Protection() = 0;
  virtual void SetProtection(int protection) = 0;
  virtual std::shared_ptr<CommandBarControls> Controls() = 0;
  virtual void Delete() = 0;
};

class CommandBars {
 public:
  virtual ~CommandBars() = default;
  // The first control with that id or tag, or nullptr when there is none.
  virtual std::shared_ptr<CommandBarControl> FindControlById(int id) = 0;
  virtual std::shared_ptr<CommandBarControl> FindControlByTag(const std::string& tag) = 0;
  virtual std::shared_ptr<CommandBar> Add(const std::string& name, int position, bool menuBar,
                                          bool temporary) = 0;
};

}  // namespace dwl::host
