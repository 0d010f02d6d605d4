// The attachments window's design: captions, places in twips, tab order. The
// window system draws the window from these; the logic moves the controls
// from here when the password row shows.
#pragma once

#include "dialogs/WindowControls.h"

namespace dwl::files_layout {

inline constexpr const char* kCaption = "Dropwell attachments";
inline constexpr TwipsRect kClientArea{0, 0, 6150, 5280};

inline constexpr TwipsRect kHeaderOverlay{120, 0, 6000, 1200};
inline constexpr TwipsRect kList{120, 1320, 4695, 3495};
inline constexpr TwipsRect kAdd{4920, 1320, 1095, 375};
inline constexpr TwipsRect kRemove{4920, 1800, 1095, 375};
inline constexpr TwipsRect kTotals{4920, 3475, 1095, 975};
inline constexpr TwipsRect kFiles{230, 300, 800, 255};  // inside the frame
inline constexpr TwipsRect kSize{230, 645, 800, 255};   // inside the frame
inline constexpr TwipsRect kOk{4920, 4785, 1095, 375};
inline constexpr TwipsRect kPasswordCheck{150, 4930, 4095, 195};
inline constexpr TwipsRect kPassword{420, 5220, 3150, 285};

inline constexpr int kNameColumnWidth = 3510;
inline constexpr int kSizeColumnWidth = 1100;
// After this many rows a scroll bar appears: the name column gives way.
inline constexpr int kRowsBeforeScrollBar = 15;
inline constexpr int kScrollBarWidth = 250;

inline constexpr int kPasswordRowHeight = 350;
// The totals frame moves less than the row, to stay level with the list.
inline constexpr int kTotalsShiftLess = 200;

}  // namespace dwl::files_layout
