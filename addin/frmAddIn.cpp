#include "addin/frmAddIn.h"

#include "addin/AddInToolbar.h"
#include "addin/AttachmentsCaption.h"
#include "addin/HostVersion.h"
#include "addin/SavedClipboard.h"
#include "compose/MailProcessor.h"
#include "mail/Email.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/ObjectRef.h"
#include "support/ApplicationLog.h"
#include "support/ProcessWide.h"
#include "support/TolerantRun.h"
#include "support/ValueText.h"

namespace dwl {

frmAddIn::frmAddIn() { ResetSlots(); }

frmAddIn::~frmAddIn() = default;

std::shared_ptr<frmAddIn> frmAddIn::Instance() { return ProcessWide<frmAddIn>::Get(); }

void frmAddIn::ReleaseInstance() { ProcessWide<frmAddIn>::Release(); }

std::shared_ptr<MailProcessor> frmAddIn::Slot(int index) const {
  return index >= 0 && index < SlotCount() ? slots_[static_cast<std::size_t>(index)] : nullptr;
}

void frmAddIn::ResetSlots() {
  // Moved out first: a processor's release may call back into the hub.
  std::vector<std::shared_ptr<MailProcessor>> released = std::move(slots_);
  slots_.assign(1, nullptr);
}

void frmAddIn::InitHandler(std::shared_ptr<host::Application>& oApp, std::string& sProgID) {
  TolerantRun run("InitHandler");
  moOL_ = oApp;
  run.Run([&] { moNS_ = Use(oApp)->GetNamespace("MAPI"); });
  // Outlook started by another program has no main window: the hub then
  // follows the item windows alone, and no explorer's closing shuts it down.
  run.Run([&] {
    moActiveExplorer_ = Use(moOL_)->ActiveExplorer();
    explorerClose_ = Use(moActiveExplorer_)->OnClose([this] { moActiveExplorer_Close(); });
  });
  run.Run([&] {
    moInspectors_ = Use(oApp)->GetInspectors();
    newInspector_ = Use(moInspectors_)->OnNewInspector(
        [this](std::shared_ptr<host::Inspector> inspector) {
          moInspectors_NewInspector(std::move(inspector));
        });
  });
  progId_ = sProgID;
  ResetSlots();
  Load();
}

void frmAddIn::UnInitHandler() {
  explorerClose_.Disconnect();
  newInspector_.Disconnect();
  buttonClick_.Disconnect();
  moActiveExplorer_.reset();
  moNS_.reset();
  moOL_.reset();
  moInspectors_.reset();
  currentToolbar_.reset();
  objAttachmentsInformationButton_.reset();
  ResetSlots();
  Unload();
}

void frmAddIn::moActiveExplorer_Close() {
  TolerantRun run("moActiveExplorer_Close");
  bool last = false;
  run.Run([&] { last = Use(Use(moOL_)->GetExplorers())->Count() < 2; });
  if (last) UnInitHandler();
}

void frmAddIn::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void frmAddIn::Form_Load() {
  TolerantRun run("Form_Load", [this](const std::string& line) { LogEvent(line); });
  std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  // Without its folders the add-in would queue e-mails nowhere: say so.
  run.Run([&] { settings->RefreshSettings(); });
  run.Checkpoint(1);
}

void frmAddIn::Show() {
  Load();
  visible_ = true;
}

void frmAddIn::Hide() { visible_ = false; }

void frmAddIn::Unload() {
  visible_ = false;
  loaded_ = false;
}

void frmAddIn::SetConnection(std::shared_ptr<host::Application> application, Connect* connect) {
  connectApplication_ = std::move(application);
  connect_ = connect;
}

int frmAddIn::HostMajorVersion() {
  return dwl::HostMajorVersion(Use(moOL_)->Version());
}

void frmAddIn::moInspectors_NewInspector(std::shared_ptr<host::Inspector> Inspector) {
  std::shared_ptr<host::MailItem> mailItem;
  try {
    mailItem = Use(Use(Use(Inspector)->CurrentItem())->AsMailItem());
  } catch (const Error&) {
    return;  // a contact, a note, ...: no compose window
  }
  bool served = false;
  TolerantRun("moInspectors_NewInspector").Run([&] {
    served = ShowsAddInToolbar(HostMajorVersion(), *Inspector, *mailItem);
  });
  if (!served) return;  // a mail already sent (version 9: no insert-file button)

  TolerantRun run("moInspectors_NewInspector", [this](const std::string& line) { LogEvent(line); });
  run.Run([&] {
    if (slots_.front() != nullptr) slots_.emplace_back();
  });
  run.Checkpoint(1);
  run.Run([&] { mailItem->SetMileage(std::to_string(slots_.size() - 1)); });
  run.Checkpoint(2);
  const bool stored = run.Run([&] {
    auto processor = std::make_shared<MailProcessor>();
    processor->SetMailItem(mailItem);
    processor->SetInspector(Inspector);
    slots_.back() = std::move(processor);
  });
  // The next window gets this slot: this one must not name it, or a click
  // here would open the other window's files.
  if (!stored) run.Run([&] { mailItem->SetMileage(""); });
  run.Checkpoint(3);
}

void frmAddIn::ShowFileBrowser() {
  if (fileBrowser_ == nullptr || fileBrowser_->Visible()) return;
  std::shared_ptr<MailProcessor> processor;
  try {
    const auto mailItem = Use(Use(Use(Use(moOL_)->ActiveInspector())->CurrentItem())->AsMailItem());
    // A Mileage that names no processor (changed by someone else, or a mail
    // the hub never served) makes the click do nothing.
    const std::int32_t slot = ToWholeNumber(mailItem->Mileage());
    processor = Slot(slot);
  } catch (const Error&) {
    return;
  }
  if (processor) fileBrowser_->InitializeInterface(processor);
}

void frmAddIn::objAttachmentsInformationButton_Click(host::CommandBarButton&, bool&) {
  ShowFileBrowser();
}

void frmAddIn::updateAttachmentsCommandbar(std::shared_ptr<host::Inspector>& inspector,
                                           Email& email) {
  TolerantRun run("updateAttachmentsCommandbar", [this](const std::string& line) { LogEvent(line); });
  std::string productCode;
  run.Run([&] { productCode = Use(moOL_)->ProductCode(); });
  run.Checkpoint(1);

  if (updating_) return;
  updating_ = true;
  // Cleared on every way out, or a failed rebuild would stop all later ones.
  struct ClearOnExit {
    bool& flag;
    ~ClearOnExit() { flag = false; }
  } clearUpdating{updating_};

  run.Checkpoint(2, "(Outlook.Application.ProductCode: " + productCode + ")");
  std::shared_ptr<host::CommandBars> bars;
  run.Run([&] { bars = Use(inspector)->GetCommandBars(); });
  DeleteAddInToolbars(run, bars);
  run.Checkpoint(3);
  AddToolbar(run, bars);
  PasteButtonIcon(run);

  Use(objAttachmentsInformationButton_)->SetEnabled(false);
  objAttachmentsInformationButton_->SetCaption(
      AttachmentsCaption(email.NumberOfAttachments(), email.Size()));
  objAttachmentsInformationButton_->SetEnabled(true);
}

void frmAddIn::AddToolbar(TolerantRun& run, const std::shared_ptr<host::CommandBars>& bars) {
  // What failed to be made stays empty: the steps after it then fail too,
  // rather than work on the toolbar of another window.
  currentToolbar_.reset();
  buttonClick_.Disconnect();
  objAttachmentsInformationButton_.reset();
  run.Run([&] {
    currentToolbar_ = Use(Use(bars)->Add(kAddInToolbarName, host::office::kBarTop, false, true));
    currentToolbar_->SetEnabled(true);
    currentToolbar_->SetVisible(true);
    currentToolbar_->SetProtection(host::office::kBarNoMove);
  });
  run.Checkpoint(4);

  run.Run([&] {
    const auto control = Use(Use(currentToolbar_)->Controls())
                             ->Add(host::office::kControlButton, 1, "", 1, true);
    objAttachmentsInformationButton_ = Use(Use(control)->AsButton());
    buttonClick_ = objAttachmentsInformationButton_->OnClick(
        [this](host::CommandBarButton& ctrl, bool& cancelDefault) {
          objAttachmentsInformationButton_Click(ctrl, cancelDefault);
        });
    objAttachmentsInformationButton_->SetTag(kAddInButtonTag);
    objAttachmentsInformationButton_->SetStyle(host::office::kButtonIconAndCaption);
    objAttachmentsInformationButton_->SetCaption("Dropwell: loading..");
    objAttachmentsInformationButton_->SetVisible(true);
  });
  run.Checkpoint(5);
}

void frmAddIn::PasteButtonIcon(TolerantRun& run) {
  const Platform& platform = ThePlatform();
  const char sep = platform.files->Separator();
  const std::string temp = platform.shell->ModuleFolder() + sep + "temp" + sep;
  const std::string icon = temp + (HostMajorVersion() == 11 ? "add_file_icon_XP.bmp" : "add_file_icon.bmp");
  // The icon travels through the clipboard; the user's content comes back
  // afterwards, also when the icon cannot be set.
  Clipboard& clipboard = Use(platform.clipboard);
  const SavedClipboard saved(clipboard, run);
  clipboard.SetBitmap(Use(platform.pictures).LoadPicture(icon));
  Use(objAttachmentsInformationButton_)->PasteFace();
  clipboard.Clear();
}

void frmAddIn::LogEvent(const std::string& strMessage) {
  try {
    ApplicationLog().AddMessage(strMessage);
  } catch (...) {
    // Logging never fails its caller.
  }
}

}  // namespace dwl
