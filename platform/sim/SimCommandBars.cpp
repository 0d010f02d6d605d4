#include "platform/sim/SimCommandBars.h"

#include <algorithm>

#include "platform/Platform.h"
#include "platform/sim/SimFaults.h"

namespace dwl::sim {

namespace {

Error Failed(const std::string& source, const std::string& description) {
  return Error(errc::kUnknown, source, description);
}

class SimControls : public host::CommandBarControls {
 public:
  explicit SimControls(std::shared_ptr<SimCommandBar> bar) : bar_(std::move(bar)) {}
  int Count() override { return static_cast<int>(bar_->Items().size()); }
  std::shared_ptr<host::CommandBarControl> Add(int type, int id, const std::string&, int before,
                                               bool) override {
    return SimFaults::Current().Hand<host::CommandBarControl>("CommandBarControls.Add",
                                                             bar_->AddControl(type, id, before));
  }

 private:
  std::shared_ptr<SimCommandBar> bar_;
};

}  // namespace

SimControl::SimControl(int type, int id, std::weak_ptr<SimCommandBar> parent,
                       HostErrorReport report)
    : type_(type), id_(id), parent_(std::move(parent)), report_(std::move(report)) {}

std::shared_ptr<host::CommandBar> SimControl::Parent() {
  auto parent = parent_.lock();
  if (!parent) throw Failed("CommandBarControl.Parent", "The control was deleted");
  return SimFaults::Current().Hand<host::CommandBar>("CommandBarControl.Parent", parent);
}

std::shared_ptr<host::CommandBarButton> SimControl::AsButton() {
  if (type_ != host::office::kControlButton) {
    throw Error(errc::kTypeMismatch, "CommandBarControl", "Type mismatch");
  }
  return shared_from_this();
}

void SimControl::PasteFace() {
  Clipboard* clipboard = ThePlatform().clipboard;
  std::optional<Picture> picture = clipboard ? clipboard->GetPicture() : std::nullopt;
  if (!picture) throw Failed("CommandBarButton.PasteFace", "The clipboard holds no picture");
  face_ = std::move(picture);
}

host::EventConnection SimControl::OnClick(ClickHandler handler) {
  return click_.Add(std::move(handler));
}

void SimControl::Click() {
  bool cancelDefault = false;
  click_.Raise(report_, *this, cancelDefault);
}

bool SimControl::Deleted() const {
  const auto parent = parent_.lock();
  return !parent || parent->Deleted();
}

SimCommandBar::SimCommandBar(std::string name, bool temporary,
                             std::weak_ptr<SimCommandBars> owner)
    : name_(std::move(name)), temporary_(temporary), owner_(std::move(owner)) {}

std::shared_ptr<host::CommandBarControls> SimCommandBar::Controls() {
  if (deleted_) throw Failed("CommandBar.Controls", "The toolbar was deleted");
  return SimFaults::Current().Hand<host::CommandBarControls>(
      "CommandBar.Controls", std::make_shared<SimControls>(shared_from_this()));
}

std::shared_ptr<SimControl> SimCommandBar::AddControl(int type, int id, int before) {
  const auto owner = owner_.lock();
  if (deleted_ || !owner) throw Failed("CommandBarControls.Add", "The toolbar was deleted");
  auto control = std::make_shared<SimControl>(type, id, weak_from_this(), owner->Report());
  const auto at = before >= 1 && before <= static_cast<int>(controls_.size()) + 1
                      ? controls_.begin() + (before - 1)
                      : controls_.end();
  controls_.insert(at, control);
  owner->NoteAdded(control);
  return control;
}

void SimCommandBar::Delete() {
  if (deleted_) throw Failed("CommandBar.Delete", "The toolbar was deleted");
  if (!temporary_ && name_ == "Standard") {
    throw Failed("CommandBar.Delete", "A built-in toolbar cannot be deleted");
  }
  deleted_ = true;
  if (const auto owner = owner_.lock()) owner->Remove(*this);
}

SimCommandBars::SimCommandBars(HostErrorReport report, AddedControl added)
    : report_(std::move(report)), added_(std::move(added)) {}

std::shared_ptr<SimCommandBars> SimCommandBars::Create(bool insertFileVisible,
                                                       HostErrorReport report,
                                                       AddedControl added) {
  auto bars = std::make_shared<SimCommandBars>(std::move(report), [](const auto&) {});
  auto standard = std::make_shared<SimCommandBar>("Standard", false, bars);
  bars->bars_.push_back(standard);
  standard->SetVisible(true);
  auto insertFile = standard->AddControl(host::office::kControlButton,
                                         host::office::kInsertFileControlId, 0);
  insertFile->SetCaption("Insert File");
  insertFile->SetVisible(insertFileVisible);
  bars->added_ = std::move(added);  // the built-in control is not the add-in's
  return bars;
}

std::shared_ptr<host::CommandBarControl> SimCommandBars::FindControlById(int id) {
  for (const auto& bar : bars_) {
    for (const auto& control : bar->Items()) {
      if (control->Id() == id) return SimFaults::Current().Hand<host::CommandBarControl>("CommandBars.FindControl", control);
    }
  }
  return nullptr;
}

std::shared_ptr<host::CommandBarControl> SimCommandBars::FindControlByTag(const std::string& tag) {
  for (const auto& bar : bars_) {
    for (const auto& control : bar->Items()) {
      if (control->Tag() == tag) return SimFaults::Current().Hand<host::CommandBarControl>("CommandBars.FindControl", control);
    }
  }
  return nullptr;
}

std::shared_ptr<host::CommandBar> SimCommandBars::Add(const std::string& name, int, bool menuBar,
                                                      bool temporary) {
  if (menuBar) throw Failed("CommandBars.Add", "A window has one menu bar");
  for (const auto& bar : bars_) {
    if (bar->Name() == name && !bar->Deleted()) {
      throw Failed("CommandBars.Add", "A toolbar named " + name + " exists already");
    }
  }
  auto bar = std::make_shared<SimCommandBar>(name, temporary, weak_from_this());
  bars_.push_back(bar);
  return SimFaults::Current().Hand<host::CommandBar>("CommandBars.Add", bar);
}

void SimCommandBars::DiscardTemporary() {
  std::vector<std::shared_ptr<SimCommandBar>> temporary;
  for (const auto& bar : bars_) {
    if (bar->Temporary()) temporary.push_back(bar);
  }
  for (const auto& bar : temporary) bar->Delete();
}

void SimCommandBars::Remove(const SimCommandBar& bar) {
  std::erase_if(bars_, [&bar](const auto& held) { return held.get() == &bar; });
}

}  // namespace dwl::sim
