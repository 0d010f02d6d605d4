#include "apps/addin/FilesWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <utility>

#include "apps/addin/EntryGuard.h"
#include "dialogs/frmFiles.h"
#include "platform/Error.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::addin {
namespace {

constexpr const char* kSource = "FilesWindow";
constexpr wchar_t kClassName[] = L"DropwellFilesWindow";
// Not WS_CLIPCHILDREN: a group box leaves its inside to its parent, which
// must paint under it, or the "Total" frame keeps whatever was there before
// (the labels' old places when the password row moves it).
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kTwipsPerInch = 1440;
constexpr int kFirstControlId = 100;

struct ControlKind {
  const char* name;  // as frmFiles names it
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

// By slot, in FilesWindow::Slot's order.
constexpr ControlKind kKinds[] = {
    {"ListView1", WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE},
    {"cmdAdd", L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},
    {"cmdRemove", L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},
    {"cmdOk", L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0},
    {"chkPassword", L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0},
    {"txtPassword", L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {"lblFiles", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {"lblSize", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {"frameTotals", L"BUTTON", BS_GROUPBOX, 0},
};

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&kClassName), &module);
  return module;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)), L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()) + 1)));
  return text;
}

// Setting a text repaints and, in an edit box, moves the caret: only changes.
void SetText(HWND window, const std::string& text) {
  const std::wstring wide = win32::Wide(text);
  if (TextOf(window) != wide) SetWindowTextW(window, wide.c_str());
}

// The Shift argument of the key handlers: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

std::vector<std::string> DroppedFiles(HDROP drop) {
  const std::unique_ptr<std::remove_pointer_t<HDROP>, decltype(&DragFinish)> owned(drop, DragFinish);
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size()) + 1));
    paths.push_back(win32::Utf8(path));
  }
  return paths;
}

// The system lets only the foreground window's thread hand the foreground
// on, so our thread borrows that thread's input state for the call.
void ForceWindowToForeground(HWND window) {
  const HWND foreground = GetForegroundWindow();
  if (window == foreground) return;
  const DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
  const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
  if (foregroundThread != 0 && foregroundThread != windowThread) {
    AttachThreadInput(foregroundThread, windowThread, TRUE);
    SetForegroundWindow(window);
    AttachThreadInput(foregroundThread, windowThread, FALSE);
  } else {
    SetForegroundWindow(window);
  }
  ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
}

}  // namespace

FilesWindow::FilesWindow(frmFiles& form) : form_(form) {}

FilesWindow::~FilesWindow() {
  Destroy();
  // A class a DLL registered outlives the DLL; the next load, perhaps at
  // another address, must register its own procedure. Fails harmlessly while
  // another FilesWindow still has a window.
  UnregisterClassW(kClassName, ThisModule());
}

HWND FilesWindow::Control(std::string_view name) const {
  static_assert(std::size(kKinds) == static_cast<std::size_t>(kSlotCount));
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (name == kKinds[slot].name) return controls_[static_cast<std::size_t>(slot)];
  }
  return nullptr;
}

int FilesWindow::PixelsX(int twips) const { return MulDiv(twips, dpiX_, kTwipsPerInch); }

int FilesWindow::PixelsY(int twips) const { return MulDiv(twips, dpiY_, kTwipsPerInch); }

RECT FilesWindow::Pixels(const TwipsRect& rect) const {
  // Edges, not sizes, are converted, so that neighbours stay neighbours.
  return {PixelsX(rect.left), PixelsY(rect.top), PixelsX(rect.left + rect.width), PixelsY(rect.top + rect.height)};
}

void FilesWindow::Create() {
  const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ThisModule();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) throw win32::LastError(kSource);

  if (const HDC screen = GetDC(nullptr)) {
    dpiX_ = std::max(1, GetDeviceCaps(screen, LOGPIXELSX));
    dpiY_ = std::max(1, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  // WM_NCCREATE keeps the handle in window_.
  if (!CreateWindowExW(kExStyle, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                       ThisModule(), this)) {
    throw win32::LastError(kSource);
  }
  try {
    MakeControls();
  } catch (...) {
    Destroy();
    throw;
  }
  DragAcceptFiles(window_, TRUE);
}

void FilesWindow::MakeControls() {
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const ControlKind& kind = kKinds[slot];
    const HWND control = CreateWindowExW(kind.exStyle, kind.windowClass, L"", WS_CHILD | kind.style, 0, 0, 0, 0,
                                         window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + slot)),
                                         ThisModule(), nullptr);
    if (!control) throw win32::LastError(kSource);
    SendMessageW(control, WM_SETFONT, font, FALSE);
    controls_[static_cast<std::size_t>(slot)] = control;
  }
  const HWND list = controls_[kList];
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  const auto& columns = form_.ListView1.ColumnHeaders;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::wstring text = win32::Wide(columns[i].Text);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_SUBITEM;
    column.pszText = text.data();
    column.iSubItem = static_cast<int>(i);
    if (SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column)) < 0) {
      throw Error(errc::kOutOfMemory, kSource, "The list refused a column");
    }
  }
  const HWND password = controls_[kPassword];
  SetWindowLongPtrW(password, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  editProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(password, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FilesWindow::PasswordProc)));
  // The labels inside the frame must lie above it.
  SetWindowPos(controls_[kTotals], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void FilesWindow::Destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  controls_ = {};
  editProc_ = nullptr;
  lastFocus_ = nullptr;
  rows_.clear();
  header_ = {};
  overlay_ = {};
}

void FilesWindow::Show() {
  if (!window_) Create();
  Update();
  ShowWindow(window_, SW_SHOW);
}

void FilesWindow::Hide() {
  lastFocus_ = nullptr;
  returnPressed_ = false;
  if (window_) ShowWindow(window_, SW_HIDE);
}

void FilesWindow::Update() {
  if (!window_) return;
  updating_ = true;
  try {
    Redraw();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void FilesWindow::Redraw() {
  SetText(window_, form_.Caption);
  RECT frame{0, 0, PixelsX(form_.ClientArea.width), PixelsY(form_.ClientArea.height)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
  RECT now{};
  GetWindowRect(window_, &now);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  bool moved = false;
  if (now.right - now.left != width || now.bottom - now.top != height) {
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    moved = true;
  }

  const TwipsRect onWindow{};
  moved |= DrawControl(kList, form_.ListView1, onWindow);
  moved |= DrawControl(kAdd, form_.cmdAdd, onWindow);
  moved |= DrawControl(kRemove, form_.cmdRemove, onWindow);
  moved |= DrawControl(kOk, form_.cmdOk, onWindow);
  moved |= DrawControl(kPasswordCheck, form_.chkPassword, onWindow);
  moved |= DrawControl(kPassword, form_.txtPassword, onWindow);
  moved |= DrawControl(kFiles, form_.lblFiles, form_.frameTotals.Rect);
  moved |= DrawControl(kSize, form_.lblSize, form_.frameTotals.Rect);
  moved |= DrawControl(kTotals, form_.frameTotals, onWindow);
  // The window paints under its children (see kStyle), so after a move the
  // children paint again over it.
  if (moved) RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);

  const WPARAM check = form_.chkPassword.Value ? BST_CHECKED : BST_UNCHECKED;
  if (static_cast<WPARAM>(SendMessageW(controls_[kPasswordCheck], BM_GETCHECK, 0, 0)) != check) {
    SendMessageW(controls_[kPasswordCheck], BM_SETCHECK, check, 0);
  }
  SetText(controls_[kPassword], form_.txtPassword.Text);
  DrawList();
  DrawImage(header_, form_.imgHeader);
  DrawImage(overlay_, form_.imageHeaderOverlay);
}

bool FilesWindow::DrawControl(Slot slot, const WindowControl& control, const TwipsRect& within) {
  const HWND handle = controls_[slot];
  // The list has no caption; the edit box shows its Text.
  if (slot != kList && slot != kPassword) SetText(handle, control.Caption);
  TwipsRect rect = control.Rect;
  rect.left += within.left;
  rect.top += within.top;
  const RECT place = Pixels(rect);
  RECT now{};
  GetWindowRect(handle, &now);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&now), 2);
  const bool moved = !EqualRect(&now, &place);
  if (moved) MoveWindow(handle, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
  const bool visible = (GetWindowLongPtrW(handle, GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != control.Visible) ShowWindow(handle, control.Visible ? SW_SHOWNA : SW_HIDE);
  if ((IsWindowEnabled(handle) != FALSE) != control.Enabled) EnableWindow(handle, control.Enabled);
  return moved;
}

void FilesWindow::DrawList() {
  const HWND list = controls_[kList];
  const auto& columns = form_.ListView1.ColumnHeaders;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const int width = PixelsX(columns[i].Width);
    if (SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0) != width) {
      SendMessageW(list, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(width, 0));
    }
  }
  const auto& items = form_.ListView1.ListItems;
  // Rows removed anywhere: the surplus goes from the end, the texts below
  // are rewritten where they changed.
  while (rows_.size() > items.size()) {
    rows_.pop_back();
    SendMessageW(list, LVM_DELETEITEM, rows_.size(), 0);
  }
  for (std::size_t row = 0; row < items.size(); ++row) {
    std::vector<std::string> texts{items[row].Text};
    texts.insert(texts.end(), items[row].SubItems.begin(), items[row].SubItems.end());
    if (row == rows_.size()) {
      LVITEMW item{};
      item.iItem = static_cast<int>(row);
      if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) {
        throw Error(errc::kOutOfMemory, kSource, "The list refused a row");
      }
      rows_.emplace_back();
    }
    for (std::size_t column = 0; column < texts.size(); ++column) {
      if (column < rows_[row].size() && rows_[row][column] == texts[column]) continue;
      std::wstring text = win32::Wide(texts[column]);
      LVITEMW item{};
      item.iSubItem = static_cast<int>(column);
      item.pszText = text.data();
      SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
    rows_[row] = std::move(texts);
    const bool selected = SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
    if (selected != items[row].Selected) {
      LVITEMW state{};
      state.stateMask = LVIS_SELECTED;
      state.state = items[row].Selected ? LVIS_SELECTED : 0;
      SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    }
  }
}

void FilesWindow::DrawImage(Image& image, const ImageControl& control) {
  const RECT place = Pixels(control.Rect);
  if (image.shown == control.Picture && EqualRect(&image.place, &place)) return;
  InvalidateRect(window_, &image.place, TRUE);
  image.place = place;
  if (image.shown != control.Picture) {
    image.shown = control.Picture;
    image.bitmap.reset();
    if (control.Picture) {
      try {
        image.bitmap.emplace(*control.Picture);
      } catch (const Error&) {
        // A picture that cannot be decoded shows as an empty image control.
      }
    }
  }
  InvalidateRect(window_, &image.place, TRUE);
}

void FilesWindow::Paint(HDC dc) {
  // The overlay lies over the built-in banner.
  for (const Image* image : {&header_, &overlay_}) {
    if (image->bitmap) image->bitmap->Draw(dc, image->place);
  }
}

void FilesWindow::ReadSelection() {
  const HWND list = controls_[kList];
  auto& items = form_.ListView1.ListItems;
  const std::size_t shown = std::min(items.size(), rows_.size());
  for (std::size_t row = 0; row < shown; ++row) {
    items[row].Selected = SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
  }
}

void FilesWindow::DoEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The host's own loop must still see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool FilesWindow::SetFocus(const std::string& name) {
  // The logic may show the control just before it asks.
  Update();
  const HWND control = Control(name);
  if (!control || !IsWindowVisible(window_) || !IsWindowVisible(control) || !IsWindowEnabled(control)) return false;
  ::SetFocus(control);
  return ::GetFocus() == control;
}

void FilesWindow::ForceToForeground() {
  if (window_) ForceWindowToForeground(window_);
}

void FilesWindow::SetTopmost(bool topmost) {
  if (window_) SetWindowPos(window_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// Input still queued when the form unloaded reaches the hidden window; the
// form has let its processor go by then, so such input is dropped (the
// Visible checks below).
LRESULT CALLBACK FilesWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<FilesWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FilesWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY && self) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    self = nullptr;
  }
  if (self) {
    try {
      LRESULT result = 0;
      if (self->OnMessage(message, wParam, lParam, result)) return result;
    } catch (...) {
      // An exception must not unwind through the system's code: logged, and
      // the message counts as handled.
      FailedEntry("FilesWindow.WindowProc");
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FilesWindow::PasswordProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<FilesWindow*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  try {
    if (wParam == VK_RETURN) {
      // Enter confirms; the box itself would only beep at it.
      if (message == WM_CHAR) return 0;
      if (message == WM_KEYDOWN) self->returnPressed_ = true;
      // A release without its press here is the Enter that closed the
      // message box about a refused password: it must not confirm again.
      if (message == WM_KEYUP && std::exchange(self->returnPressed_, false) && self->form_.Visible()) {
        self->form_.txtPassword_KeyUp(frmFiles::kKeyReturn, ShiftState());
        self->Update();
        return 0;
      }
    }
  } catch (...) {
    FailedEntry("FilesWindow.PasswordProc");
    return 0;
  }
  return CallWindowProcW(self->editProc_, edit, message, wParam, lParam);
}

bool FilesWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      if (lParam == 0) return false;  // a menu or an accelerator
      if (form_.Visible()) Command(LOWORD(wParam), HIWORD(wParam));
      return true;
    case WM_NOTIFY:
      return Notify(*reinterpret_cast<const NMHDR*>(lParam), result);
    case WM_DROPFILES: {
      const std::vector<std::string> paths = DroppedFiles(reinterpret_cast<HDROP>(wParam));
      if (form_.Visible()) form_.ListView1_OLEDragDrop(paths);
      Update();
      return true;
    }
    case WM_CLOSE: {
      // Unloading hides the window; a refused close leaves it as it is.
      int cancel = 0;
      if (form_.Visible()) form_.Form_Unload(cancel);
      return true;
    }
    case WM_ACTIVATE:
      // The focus comes back to the control that had it, as in a dialog box.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        lastFocus_ = IsChild(window_, focus) ? focus : nullptr;
        return false;
      }
      if (!IsChild(window_, lastFocus_) || !IsWindowVisible(lastFocus_) || !IsWindowEnabled(lastFocus_)) return false;
      ::SetFocus(lastFocus_);
      return true;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window_, &paint);
      Paint(dc);
      EndPaint(window_, &paint);
      return true;
    }
    case WM_PRINTCLIENT: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      if (lParam & PRF_ERASEBKGND) {
        RECT client{};
        GetClientRect(window_, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      }
      Paint(dc);
      return true;
    }
    default:
      return false;
  }
}

void FilesWindow::Command(int id, int code) {
  switch (id - kFirstControlId) {
    case kAdd:
      if (code == BN_CLICKED) form_.cmdAdd_Click();
      break;
    case kRemove:
      if (code != BN_CLICKED) return;
      ReadSelection();
      form_.cmdRemove_Click();
      break;
    case kOk:
      if (code == BN_CLICKED) form_.cmdOk_Click();
      break;
    case kPasswordCheck:
      if (code != BN_CLICKED) return;
      form_.chkPassword.Value = SendMessageW(controls_[kPasswordCheck], BM_GETCHECK, 0, 0) == BST_CHECKED;
      form_.chkPassword_Click();
      break;
    case kPassword:
      if (code == EN_CHANGE && !updating_) form_.txtPassword.Text = win32::Utf8(TextOf(controls_[kPassword]));
      return;
    default:
      return;
  }
  Update();
}

bool FilesWindow::Notify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != controls_[kList] || !header.hwndFrom) return false;
  if (!form_.Visible()) return false;
  switch (header.code) {
    case LVN_ITEMCHANGED:
      // The logic reads the selection from its rows; keep them current.
      if (!updating_ && (reinterpret_cast<const NMLISTVIEW&>(header).uChanged & LVIF_STATE)) ReadSelection();
      return true;
    case LVN_KEYDOWN:
      ReadSelection();
      form_.ListView1_KeyDown(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey, ShiftState());
      Update();
      return true;
    case LVN_ENDLABELEDITW: {
      const LVITEMW& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
      std::string text = item.pszText ? win32::Utf8(item.pszText) : "";
      int cancel = 0;
      form_.ListView1_AfterLabelEdit(cancel, text);
      result = cancel ? FALSE : TRUE;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace dwl::addin
