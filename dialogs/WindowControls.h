// The state of a window's controls, kept by the window's logic and drawn by
// the window system. Positions and sizes are in twips (1440 per inch).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Clipboard.h"

namespace dwl {

inline constexpr int kTwipsPerPixel = 15;

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TwipsRect&) const = default;
};

// Buttons, labels, frames: a caption and a place.
struct WindowControl {
  std::string Caption;
  TwipsRect Rect;
  int TabIndex = -1;
  bool Visible = true;
  bool Enabled = true;
};

struct CheckBoxControl : WindowControl {
  bool Value = false;
};

struct TextBoxControl : WindowControl {
  std::string Text;
};

struct ImageControl {
  TwipsRect Rect;
  std::optional<dwl::Picture> Picture;
};

struct ListViewColumn {
  std::string Text;
  int Width = 0;
};

struct ListViewItem {
  std::string Text;
  std::vector<std::string> SubItems;  // SubItems[0] is the second column
  bool Selected = false;
};

// A list view in report view.
struct ListViewControl : WindowControl {
  std::vector<ListViewColumn> ColumnHeaders;
  std::vector<ListViewItem> ListItems;
};

}  // namespace dwl
