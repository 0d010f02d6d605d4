// The attachments window on the screen: a top-level window that draws the
// controls frmFiles keeps and passes the user's actions to frmFiles'
// handlers. Modeless; made on the first Show, destroyed with this object.
// Host thread only; `form` must outlive this object.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/WindowControls.h"
#include "platform/DialogWindow.h"
#include "platform/win32/PictureBitmap.h"

namespace dwl {
class frmFiles;
}

namespace dwl::addin {

class FilesWindow : public DialogWindow {
 public:
  explicit FilesWindow(frmFiles& form);
  ~FilesWindow() override;
  FilesWindow(const FilesWindow&) = delete;
  FilesWindow& operator=(const FilesWindow&) = delete;

  void Show() override;
  void Hide() override;
  void Update() override;
  void DoEvents() override;
  bool SetFocus(const std::string& control) override;
  void ForceToForeground() override;
  void SetTopmost(bool topmost) override;

  // The window; null until first shown.
  HWND Handle() const { return window_; }
  // The control named as frmFiles names it ("cmdOk", "ListView1", ...);
  // null for another name or before the window is made.
  HWND Control(std::string_view name) const;

 private:
  // The controls, in the order they are made (which is also their tab order).
  enum Slot { kList, kAdd, kRemove, kOk, kPasswordCheck, kPassword, kFiles, kSize, kTotals, kSlotCount };

  // An image control as drawn: the picture decoded once.
  struct Image {
    std::optional<Picture> shown;
    std::optional<win32::PictureBitmap> bitmap;
    RECT place{};
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PasswordProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Command(int id, int code);
  bool Notify(const NMHDR& header, LRESULT& result);

  void Create();
  void MakeControls();
  void Destroy();
  void Redraw();
  // Whether the control moved.
  bool DrawControl(Slot slot, const WindowControl& control, const TwipsRect& offset);
  void DrawList();
  void DrawImage(Image& image, const ImageControl& control);
  void Paint(HDC dc);
  void ReadSelection();

  int PixelsX(int twips) const;
  int PixelsY(int twips) const;
  RECT Pixels(const TwipsRect& rect) const;

  frmFiles& form_;
  HWND window_ = nullptr;
  std::array<HWND, kSlotCount> controls_{};
  WNDPROC editProc_ = nullptr;
  // Which control had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
  int dpiX_ = 96;
  int dpiY_ = 96;
  // The rows' texts as the list shows them: only changes are written.
  std::vector<std::vector<std::string>> rows_;
  Image header_;
  Image overlay_;
  // Enter was pressed in the password box (its release confirms).
  bool returnPressed_ = false;
  // The window's own changes to its controls are not the user's actions.
  bool updating_ = false;
};

}  // namespace dwl::addin
