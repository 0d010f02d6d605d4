// Simulated Office command bars of one window: the built-in bar with the
// insert-file control 1079, and the toolbars the add-in adds.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/CommandBars.h"
#include "platform/sim/EventList.h"

namespace dwl::sim {

class SimCommandBar;
class SimCommandBars;

class SimControl : public host::CommandBarButton,
                   public std::enable_shared_from_this<SimControl> {
 public:
  SimControl(int type, int id, std::weak_ptr<SimCommandBar> parent, HostErrorReport report);

  int Id() override { return id_; }
  std::string Tag() override { return tag_; }
  void SetTag(const std::string& tag) override { tag_ = tag; }
  std::string Caption() override { return caption_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  bool Visible() override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Enabled() override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  std::shared_ptr<host::CommandBar> Parent() override;
  std::shared_ptr<host::CommandBarButton> AsButton() override;
  int Style() override { return style_; }
  void SetStyle(int style) override { style_ = style; }
  void PasteFace() override;
  host::EventConnection OnClick(ClickHandler handler) override;

  // The user clicks it.
  void Click();
  const std::optional<Picture>& Face() const { return face_; }
  bool Deleted() const;

 private:
  int type_;
  int id_;
  std::string tag_;
  std::string caption_;
  bool visible_ = true;
  bool enabled_ = true;
  int style_ = 0;
  std::optional<Picture> face_;
  std::weak_ptr<SimCommandBar> parent_;
  HostErrorReport report_;
  EventList<host::CommandBarButton&, bool&> click_;
};

class SimCommandBar : public host::CommandBar, public std::enable_shared_from_this<SimCommandBar> {
 public:
  SimCommandBar(std::string name, bool temporary, std::weak_ptr<SimCommandBars> owner);

  std::string Name() override { return name_; }
  bool Enabled() override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Visible() override { return visible_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  int Protection() override { return protection_; }
  void SetProtection(int protection) override { protection_ = protection; }
  std::shared_ptr<host::CommandBarControls> Controls() override;
  void Delete() override;

  bool Temporary() const { return temporary_; }
  bool Deleted() const { return deleted_; }
  const std::vector<std::shared_ptr<SimControl>>& Items() const { return controls_; }
  std::shared_ptr<SimControl> AddControl(int type, int id, int before);

 private:
  std::string name_;
  bool temporary_;
  bool enabled_ = true;
  bool visible_ = false;
  int protection_ = 0;
  bool deleted_ = false;
  std::vector<std::shared_ptr<SimControl>> controls_;
  std::weak_ptr<SimCommandBars> owner_;
};

class SimCommandBars : public host::CommandBars,
                       public std::enable_shared_from_this<SimCommandBars> {
 public:
  using AddedControl = std::function<void(const std::shared_ptr<SimControl>&)>;
  // `insertFileVisible`: whether the built-in control 1079 shows; `added` hears
  // of every control that Controls.Add makes.
  static std::shared_ptr<SimCommandBars> Create(bool insertFileVisible, HostErrorReport report,
                                                AddedControl added);
  SimCommandBars(HostErrorReport report, AddedControl added);

  std::shared_ptr<host::CommandBarControl> FindControlById(int id) override;
  std::shared_ptr<host::CommandBarControl> FindControlByTag(const std::string& tag) override;
  std::shared_ptr<host::CommandBar> Add(const std::string& name, int position, bool menuBar,
                                        bool temporary) override;

  // Every bar in the window, the built-in one first.
  const std::vector<std::shared_ptr<SimCommandBar>>& Bars() const { return bars_; }
  // The window closes: the host discards temporary bars.
  void DiscardTemporary();
  void Remove(const SimCommandBar& bar);
  const HostErrorReport& Report() const { return report_; }
  void NoteAdded(const std::shared_ptr<SimControl>& control) { added_(control); }

 private:
  std::vector<std::shared_ptr<SimCommandBar>> bars_;
  HostErrorReport report_;
  AddedControl added_;
};

}  // namespace dwl::sim
