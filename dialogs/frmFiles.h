// The attachments window: the user of a compose window picks files (open
// dialog or drop), removes them, and may set a download password. Files go
// to the compose window's processor at once; the password on OK or Enter.
// This is the window's logic over its controls' state; the window system
// (a DialogWindow) draws them and calls the handlers. One window for the
// process; host thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "addin/FileBrowser.h"
#include "dialogs/WindowControls.h"
#include "platform/DialogWindow.h"

namespace dwl {

class EmailAttachment;
class MailProcessor;

class frmFiles : public FileBrowser {
 public:
  static constexpr int kKeyDelete = 46;
  static constexpr int kKeyReturn = 13;

  frmFiles();
  ~frmFiles() override;

  // The process-wide window.
  static std::shared_ptr<frmFiles> Instance();
  static void ReleaseInstance();

  // Where the window is drawn; null draws nothing (no window system).
  void SetView(DialogWindow* view) { view_ = view; }
  DialogWindow* View() const { return view_; }

  bool Visible() override { return visible_; }
  // Fills the window from `objActiveEmailProcessor`'s record and shows it.
  void InitializeInterface(std::shared_ptr<MailProcessor>& objActiveEmailProcessor) override;

  // The user's actions.
  void cmdAdd_Click();
  void cmdRemove_Click();
  void cmdOk_Click();
  // Runs when chkPassword.Value changes.
  void chkPassword_Click();
  void txtPassword_KeyUp(int KeyCode, int Shift);
  void ListView1_KeyDown(int KeyCode, int Shift);
  void ListView1_AfterLabelEdit(int& Cancel, std::string& NewString);
  void ListView1_OLEDragDrop(const std::vector<std::string>& files);
  // The window is asked to close; `Cancel` set true refuses.
  void Form_Unload(int& Cancel);

  // The controls.
  std::string Caption;
  TwipsRect ClientArea;
  ImageControl imgHeader;
  ImageControl imageHeaderOverlay;
  ListViewControl ListView1;
  WindowControl cmdAdd;
  WindowControl cmdRemove;
  WindowControl frameTotals;
  WindowControl lblFiles;
  WindowControl lblSize;
  WindowControl cmdOk;
  CheckBoxControl chkPassword;
  TextBoxControl txtPassword;
  // The control that has the focus, by name.
  std::string ActiveControl;

  const std::shared_ptr<MailProcessor>& Processor() const { return processor_; }

 private:
  void Load();
  void Unload();
  void AddRow(EmailAttachment& attachment);
  void AddFiles(const std::vector<std::string>& paths);
  void FitNameColumn();
  void UpdateTotals();
  void MovePasswordRow(int direction);
  bool PasswordCheck();
  void Focus(const std::string& control);
  void DoEvents();

  class AddingFiles;

  std::shared_ptr<MailProcessor> processor_;
  // How many addings run, one inside another's pending events.
  int adding_ = 0;
  int passwordRowHeight_ = 0;
  bool loaded_ = false;
  bool visible_ = false;
  DialogWindow* view_ = nullptr;
};

}  // namespace dwl
