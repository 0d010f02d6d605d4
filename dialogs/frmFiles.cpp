#include "dialogs/frmFiles.h"

#include <algorithm>

#include "compose/MailProcessor.h"
#include "dialogs/FilesWindowLayout.h"
#include "dialogs/headerImage.h"
#include "mail/Email.h"
#include "platform/Platform.h"
#include "support/CommonDialog.h"
#include "support/NumberText.h"
#include "support/ObjectRef.h"
#include "support/ProcessWide.h"

namespace dwl {

namespace {

namespace layout = files_layout;

constexpr double kBytesPerMB = 1048576;
// Above this the total shows no decimal.
constexpr double kMostBytesWithDecimal = 1047946854;

// Characters a download password may not hold.
constexpr const char* kRefusedInPassword[] = {"#", "--", "'", "\"", "/", "\\", ";"};

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

// While files are added, OK and "Remove files" are off and closing is
// refused. Pending events run between rows, so the user may start another
// adding (a drop, "Add files"): they come back on only when the outermost
// adding ends, however it ends.
class frmFiles::AddingFiles {
 public:
  explicit AddingFiles(frmFiles& window) : window_(window) {
    ++window_.adding_;
    window_.cmdOk.Enabled = false;
    window_.cmdRemove.Enabled = false;
  }
  ~AddingFiles() {
    if (--window_.adding_ > 0) return;
    window_.cmdOk.Enabled = true;
    window_.cmdRemove.Enabled = true;
  }
  AddingFiles(const AddingFiles&) = delete;
  AddingFiles& operator=(const AddingFiles&) = delete;

 private:
  frmFiles& window_;
};

frmFiles::frmFiles() = default;

frmFiles::~frmFiles() = default;

std::shared_ptr<frmFiles> frmFiles::Instance() { return ProcessWide<frmFiles>::Get(); }

void frmFiles::ReleaseInstance() { ProcessWide<frmFiles>::Release(); }

void frmFiles::Load() {
  if (loaded_) return;
  loaded_ = true;
  Caption = layout::kCaption;
  ClientArea = layout::kClientArea;
  imgHeader = {};
  imageHeaderOverlay = {layout::kHeaderOverlay, std::nullopt};
  ListView1 = {};
  ListView1.Rect = layout::kList;
  ListView1.ColumnHeaders = {{"Filename", layout::kNameColumnWidth},
                             {"Size", layout::kSizeColumnWidth},
                             {"", 0}};  // the full path, not shown
  cmdAdd = {"Add files", layout::kAdd, 1};
  cmdRemove = {"Remove files", layout::kRemove, 2};
  frameTotals = {"Total", layout::kTotals, 4};
  lblFiles = {"", layout::kFiles, 6};
  lblSize = {"", layout::kSize, 5};
  cmdOk = {"OK", layout::kOk, 3};
  chkPassword = {};
  chkPassword.Caption = "Enable password protection";
  chkPassword.Rect = layout::kPasswordCheck;
  chkPassword.TabIndex = 7;
  txtPassword = {};
  txtPassword.Rect = layout::kPassword;
  txtPassword.TabIndex = 8;
  txtPassword.Visible = false;
  ActiveControl.clear();
}

void frmFiles::Unload() {
  visible_ = false;
  loaded_ = false;
  processor_.reset();
  if (view_) view_->Hide();
}

void frmFiles::DoEvents() {
  if (view_) {
    view_->Update();
    view_->DoEvents();
  }
}

void frmFiles::Focus(const std::string& control) {
  if (view_ && view_->SetFocus(control)) ActiveControl = control;
}

void frmFiles::InitializeInterface(std::shared_ptr<MailProcessor>& objActiveEmailProcessor) {
  Load();
  headerImage().PlaceHeaderImage(imageHeaderOverlay);
  processor_ = Use(objActiveEmailProcessor);
  const std::shared_ptr<Email> email = processor_->GetEmail();
  if (email->NumberOfAttachments() > 0) {
    for (const auto& attachment : email->get_attachments()) AddRow(*attachment);
  }
  UpdateTotals();
  passwordRowHeight_ = layout::kPasswordRowHeight;
  if (!email->get_Password().empty()) {
    chkPassword.Value = true;
    chkPassword_Click();
    txtPassword.Text = email->get_Password();
  }
  visible_ = true;
  cmdOk.TabIndex = 1;
  if (view_) {
    view_->Update();
    view_->Show();
    Focus("cmdOk");
    view_->ForceToForeground();
    view_->SetTopmost(true);
  }
}

void frmFiles::AddRow(EmailAttachment& attachment) {
  // Rows show the locale's own number format, grouping included.
  ListView1.ListItems.push_back(
      {attachment.get_Filename(),
       {FormatNumber(attachment.get_Size() / kBytesPerMB, 1, true) + " MB",
        attachment.get_FilePath()}});
  FitNameColumn();
  DoEvents();
}

void frmFiles::FitNameColumn() {
  // Past the rows that fit, the scroll bar takes its width from the first column.
  const bool scrolls = static_cast<int>(ListView1.ListItems.size()) > layout::kRowsBeforeScrollBar;
  ListView1.ColumnHeaders[0].Width = layout::kNameColumnWidth - (scrolls ? layout::kScrollBarWidth : 0);
}

void frmFiles::AddFiles(const std::vector<std::string>& paths) {
  // Held here: pending events run between rows.
  const std::shared_ptr<MailProcessor> processor = processor_;
  std::string refused;
  for (const std::string& path : paths) {
    // The queue file is in the system's code page; such a name would name nothing there.
    if (!ThePlatform().codePage->Holds(path)) {
      refused += "\n" + path;
      continue;
    }
    EmailAttachment attachment;
    attachment.set_FilePath(path);
    AddRow(attachment);
    processor->AddAttachment(path);
  }
  if (!refused.empty()) {
    ThePlatform().alerts->Critical("These files have letters in their names that this system's code page lacks. "
                                   "Rename them, then add them again:" + refused, "");
  }
}

void frmFiles::cmdAdd_Click() {
  OpenFileDialogRecord& record = SharedOpenFileDialogRecord();
  record.filter = std::string("All Files (*.*)") + '\0' + "*.*" + '\0';
  record.title = "Add Dropwell attachment(s)";
  record.initialDirectory = processor_->getBrowsePath();
  const OpenFileDialogResult chosen = ShowOpenFileDialog(true);
  if (!chosen.Cancelled) {
    std::vector<std::string> paths;
    for (int i = 1; i <= chosen.FileCount; ++i) {
      paths.push_back(chosen.FolderPath + chosen.FileNames[static_cast<std::size_t>(i)]);
    }
    {
      // Off before pending events run: a close now would leave the loop
      // below without its processor.
      AddingFiles adding(*this);
      DoEvents();
      AddFiles(paths);
      processor_->setBrowsePath(chosen.FolderPath);
    }
    DoEvents();
  }
  UpdateTotals();
}

void frmFiles::ListView1_OLEDragDrop(const std::vector<std::string>& files) {
  std::vector<std::string> existing;
  for (const std::string& path : files) {
    try {
      if (ThePlatform().files->FileExists(path)) existing.push_back(path);  // not folders
    } catch (const Error&) {
      // An item that cannot be looked at is skipped.
    }
  }
  if (!existing.empty()) {
    AddingFiles adding(*this);
    AddFiles(existing);
  }
  UpdateTotals();
}

void frmFiles::cmdRemove_Click() {
  // The processor is rebuilt from the rows, which already hold a file being
  // added: the adding would then add it a second time.
  if (adding_ > 0) return;
  std::erase_if(ListView1.ListItems, [](const ListViewItem& row) { return row.Selected; });
  FitNameColumn();
  processor_->RemoveAllAttachments();
  for (const ListViewItem& row : ListView1.ListItems) processor_->AddAttachment(row.SubItems[1]);
  UpdateTotals();
}

void frmFiles::ListView1_KeyDown(int KeyCode, int) {
  if (KeyCode == kKeyDelete) cmdRemove_Click();
}

void frmFiles::ListView1_AfterLabelEdit(int& Cancel, std::string&) { Cancel = 1; }

void frmFiles::UpdateTotals() {
  if (!processor_) return;  // the user closed the window while events ran
  const std::shared_ptr<Email> email = processor_->GetEmail();
  lblFiles.Caption = std::to_string(email->NumberOfAttachments()) + " Files";
  const double total = email->Size();
  // No grouping: grouping followed by the "," rule would show 1234 as "1.234".
  std::string size = FormatNumber(total / kBytesPerMB, total <= kMostBytesWithDecimal ? 1 : 0, false);
  std::replace(size.begin(), size.end(), ',', '.');
  lblSize.Caption = size + " MB";
  if (view_) view_->Update();
}

void frmFiles::chkPassword_Click() {
  if (chkPassword.Value && !txtPassword.Visible) {
    txtPassword.Visible = true;
    MovePasswordRow(+1);
    if (txtPassword.Text.empty()) Focus("txtPassword");  // fails while the window is hidden
  } else if (!chkPassword.Value && txtPassword.Visible) {
    txtPassword.Visible = false;
    MovePasswordRow(-1);
  }
  if (view_) view_->Update();
}

void frmFiles::MovePasswordRow(int direction) {
  cmdOk.Rect.top += direction * passwordRowHeight_;
  frameTotals.Rect.top += direction * (passwordRowHeight_ - layout::kTotalsShiftLess);
  ClientArea.height += direction * passwordRowHeight_;
}

bool frmFiles::PasswordCheck() {
  const std::string password = Trimmed(txtPassword.Text);
  if (password.empty() || !chkPassword.Value) {
    processor_->setPassword("");
    return true;
  }
  if (!ThePlatform().codePage->Holds(password)) {
    ThePlatform().alerts->Critical("Your password can only contain letters and numbers.",
                                   "Please change your password");
    Focus("txtPassword");
    return false;
  }
  for (const char* refused : kRefusedInPassword) {
    if (password.find(refused) != std::string::npos) {
      ThePlatform().alerts->Critical("Your password can only contain letters and numbers.",
                                     "Please change your password");
      Focus("txtPassword");
      return false;
    }
  }
  processor_->setPassword(password);
  return true;
}

void frmFiles::cmdOk_Click() {
  if (!PasswordCheck()) return;
  int cancel = 0;
  Form_Unload(cancel);
}

void frmFiles::txtPassword_KeyUp(int KeyCode, int) {
  if (KeyCode == kKeyReturn) cmdOk_Click();
}

void frmFiles::Form_Unload(int& Cancel) {
  if (adding_ > 0) {
    Cancel = 1;  // files are being added
    return;
  }
  Unload();
}

}  // namespace dwl
