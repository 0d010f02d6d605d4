// The debug window "DEBUG LOG": a list box `List1` that mirrors log messages
// and a "Close" button. This is the window's model; a backend draws it.
#pragma once

#include <deque>
#include <string>

namespace dwl {

// Rows of text, as a list-box control holds them.
class ListBox {
 public:
  void AddItem(const std::string& text) { rows_.push_back(text); }
  void RemoveItem(int index) { rows_.erase(rows_.begin() + index); }
  const std::string& List(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
  void SetList(int index, const std::string& text) { rows_.at(static_cast<std::size_t>(index)) = text; }
  int ListCount() const { return static_cast<int>(rows_.size()); }

 private:
  std::deque<std::string> rows_;
};

class frmLog {
 public:
  static constexpr const char* kCaption = "DEBUG LOG";

  ListBox List1;

  // Shows the window modeless; showing it again after a close brings it back
  // with its rows intact.
  void Show() { visible_ = true; }
  void cmdClose_Click() { visible_ = false; }
  bool Visible() const { return visible_; }

 private:
  bool visible_ = false;
};

}  // namespace dwl
