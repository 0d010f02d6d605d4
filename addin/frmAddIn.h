// The hub between Outlook and the add-in: follows the host's explorer and
// inspector events, gives each compose window a MailProcessor in a numbered
// slot (the slot number goes into the mail item's Mileage), rebuilds a
// window's toolbar on request, and opens the attachments dialog when the
// toolbar button is clicked. One process-wide instance does the work; a
// Connect may show a second one as a plain window. Host thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "addin/FileBrowser.h"
#include "platform/OutlookObjects.h"

namespace dwl {

class Connect;
class TolerantRun;
class Email;
class MailProcessor;

class frmAddIn {
 public:
  frmAddIn();
  ~frmAddIn();
  frmAddIn(const frmAddIn&) = delete;
  frmAddIn& operator=(const frmAddIn&) = delete;

  // The process-wide hub, made at the first request.
  static std::shared_ptr<frmAddIn> Instance();
  static void ReleaseInstance();

  // Takes the host's objects, resets the slots and loads the hub (which
  // refreshes the settings). Safe to repeat; tolerates every failure.
  void InitHandler(std::shared_ptr<host::Application>& oApp, std::string& sProgID);
  // Lets go of every host object and processor. Safe to repeat.
  void UnInitHandler();
  void moActiveExplorer_Close();
  void moInspectors_NewInspector(std::shared_ptr<host::Inspector> Inspector);
  void ShowFileBrowser();
  // Replaces the add-in toolbar of `inspector` with a new one whose button
  // shows `email`'s file count and size.
  void updateAttachmentsCommandbar(std::shared_ptr<host::Inspector>& inspector, Email& email);
  void objAttachmentsInformationButton_Click(host::CommandBarButton& Ctrl, bool& CancelDefault);
  // One line in the application log, through a log object of its own.
  void LogEvent(const std::string& strMessage);

  // The hub as a window: no content, but it can be shown.
  void Show();
  void Hide();
  void Unload();
  bool Visible() const { return visible_; }
  bool Loaded() const { return loaded_; }
  // What a Connect hands the window it shows.
  void SetConnection(std::shared_ptr<host::Application> application, Connect* connect);

  // The host's major version (Application.Version).
  int HostMajorVersion();
  // The host application while the hub is initialised, else nullptr.
  std::shared_ptr<host::Application> Application() const { return moOL_; }
  // Where button clicks open the attachments dialog; null ignores them.
  void SetFileBrowser(FileBrowser* browser) { fileBrowser_ = browser; }
  FileBrowser* GetFileBrowser() const { return fileBrowser_; }

  // The processor slots: one empty slot after initialisation.
  int SlotCount() const { return static_cast<int>(slots_.size()); }
  std::shared_ptr<MailProcessor> Slot(int index) const;
  bool Listening() const { return moInspectors_ != nullptr; }

 private:
  void Load();
  void Form_Load();
  void ResetSlots();
  // The toolbar of a rebuild: a new bar with the add-in's button.
  void AddToolbar(TolerantRun& run, const std::shared_ptr<host::CommandBars>& bars);
  // The button's icon, through the clipboard.
  void PasteButtonIcon(TolerantRun& run);

  std::shared_ptr<host::Application> moOL_;
  std::shared_ptr<host::NameSpace> moNS_;
  std::shared_ptr<host::Explorer> moActiveExplorer_;
  std::shared_ptr<host::Inspectors> moInspectors_;
  std::shared_ptr<host::CommandBarButton> objAttachmentsInformationButton_;
  std::shared_ptr<host::CommandBar> currentToolbar_;
  host::EventConnection explorerClose_;
  host::EventConnection newInspector_;
  host::EventConnection buttonClick_;
  bool updating_ = false;
  std::vector<std::shared_ptr<MailProcessor>> slots_;
  std::string progId_;
  bool loaded_ = false;
  bool visible_ = false;
  std::shared_ptr<host::Application> connectApplication_;
  Connect* connect_ = nullptr;
  FileBrowser* fileBrowser_ = nullptr;
};

}  // namespace dwl
