#include "apps/sim/SimAddInSide.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "addin/frmAddIn.h"
#include "apps/sim/SimPrinter.h"
#include "apps/sim/SimScript.h"
#include "dialogs/frmFiles.h"
#include "mail/EmailQueue.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace dwl::cli {

void SimAddInSide::StreamAlerts::Critical(const std::string& text, const std::string& title) {
  err_ << (title.empty() ? "Dropwell" : title) << ": " << text << std::endl;
}

SimAddInSide::SimAddInSide(std::ostream& out, std::ostream& err, std::function<const Connect*()> connection)
    : out_(out), connection_(std::move(connection)), alerts_(err) {
  Platform services = host_.Over(ThePlatform());
  const Platform& system = ThePlatform();
  systemClipboard_ = system.clipboard != nullptr;
  systemObjects_ = system.objects != nullptr;
  if (systemClipboard_) services.clipboard = system.clipboard;
  if (systemObjects_) services.objects = system.objects;
  services.alerts = &alerts_;
  installed_.emplace(services);
  frmFiles::Instance()->SetView(&dialogWindow_);
  frmAddIn::Instance()->SetFileBrowser(frmFiles::Instance().get());

  logFile_ = ApplicationLog::Instance()->getLogFilePath();
  std::error_code ignored;
  logStart_ = std::filesystem::file_size(PathOf(logFile_), ignored);
  if (ignored) logStart_ = 0;
}

SimAddInSide::~SimAddInSide() {
  Shutdown();
  AppSettings::ReleaseInstance();
  ApplicationLog::ReleaseInstance();
}

void SimAddInSide::Shutdown() {
  frmAddIn::Instance()->SetFileBrowser(nullptr);
  frmAddIn::ReleaseInstance();
  frmFiles::ReleaseInstance();
  EmailQueue::ReleaseInstance();
}

Clipboard& SimAddInSide::TheClipboard() const { return *ThePlatform().clipboard; }

void SimAddInSide::Execute(const std::vector<std::string>& words) {
  const std::string& command = words.front();
  const std::vector<std::string> args(words.begin() + 1, words.end());
  if (command == "host") {
    Host(args);
  } else if (command == "display-on-connect") {
    Require(args.size() == 1, "'display-on-connect' takes 1 argument");
    host_.settingsStore.SaveSetting(Connect::kSettingsAppTitle, Connect::kSettingsSection,
                                    Connect::kDisplayOnConnect, args[0]);
  } else if (command == "clipboard") {
    ClipboardCommand(args);
  } else if (command == "dialog") {
    DialogCommand(args);
  } else if (command == "print") {
    Print(args);
  } else if (command == "pause") {
    Require(args.size() == 1, "'pause' takes the milliseconds to wait");
    const int wait = WholeNumber(args[0], "pause");
    Require(wait >= 0 && wait <= 600000, "'pause' waits 0 to 600000 milliseconds");
    // The window system's messages keep running meanwhile, as the user's
    // look at the windows needs.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
    while (std::chrono::steady_clock::now() < until) {
      if (DialogWindow* view = frmFiles::Instance()->View()) view->DoEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  } else {
    throw SimUsageError("unknown command '" + command + "'");
  }
}

void SimAddInSide::Host(const std::vector<std::string>& args) {
  for (const std::string& word : args) {
    if (Option(word, "version") || Option(word, "explorers")) {
      continue;  // the host's own
    } else if (auto decimal = Option(word, "decimal")) {
      numberFormat_.emplace(*decimal, numberFormat_ ? numberFormat_->ThousandsSeparator() : ",", 3);
    } else if (auto thousands = Option(word, "thousands")) {
      numberFormat_.emplace(numberFormat_ ? numberFormat_->DecimalSeparator() : ".", *thousands, 3);
    } else if (word == "safe-mail-item=missing") {
      Require(!systemObjects_, "safe-mail-item=missing needs the simulated outside objects, not the system's");
      host_.objects.safeMailItemInstalled = false;
    } else if (word == "agent=record") {
      recordedAgent_.emplace();
    } else if (word == "window=system") {
      // The add-in's own window, where the module has one (the DLL sets it
      // when the host connects the add-in).
      frmFiles::Instance()->SetView(nullptr);
    } else {
      throw SimUsageError("'host' does not know '" + word + "'");
    }
  }
  if (numberFormat_ || recordedAgent_) {
    Platform services = ThePlatform();
    if (numberFormat_) services.numberFormat = &*numberFormat_;
    if (recordedAgent_) services.transferAgent = &*recordedAgent_;
    installed_.reset();
    installed_.emplace(services);
  }
}

void SimAddInSide::ClipboardCommand(const std::vector<std::string>& args) {
  Require(!args.empty(), "'clipboard' needs text, picture or clear");
  if (args[0] == "text" && args.size() == 2) {
    TheClipboard().SetText(args[1]);
  } else if (args[0] == "picture" && args.size() == 2) {
    TheClipboard().SetBitmap(host_.pictures.LoadPicture(args[1]));
  } else if (args[0] == "clear" && args.size() == 1) {
    TheClipboard().Clear();
  } else {
    throw SimUsageError("'clipboard' takes text TEXT, picture FILE or clear");
  }
}

void SimAddInSide::Print(const std::vector<std::string>& args) {
  SimPrinter(out_, {TheClipboard(), host_.pictures, host_.settingsStore, connection_(),
                    recordedAgent_ ? &*recordedAgent_ : nullptr, logFile_, logStart_})
      .Print(args);
}

void SimAddInSide::DialogCommand(const std::vector<std::string>& args) {
  Require(!args.empty(), "'dialog' needs an action");
  const auto dialog = frmFiles::Instance();
  Require(dialog->Visible(), "the attachments dialog is not open");
  const std::string& action = args[0];
  std::vector<std::string> rest(args.begin() + 1, args.end());
  const auto absolute = [](std::vector<std::string> paths) {
    for (std::string& path : paths) {
      const std::u8string text = std::filesystem::absolute(PathOf(path)).lexically_normal().u8string();
      path.assign(text.begin(), text.end());
    }
    return paths;
  };
  const auto none = [&] { Require(rest.empty(), "'dialog " + action + "' takes no arguments"); };
  if (action == "add") {
    Require(!rest.empty(), "'dialog add' needs the files to choose");
    const auto paths = absolute(rest);
    const auto folderOf = [](const std::string& path) { return PathOf(path).parent_path(); };
    for (const std::string& path : paths) {
      Require(folderOf(path) == folderOf(paths.front()), "the open dialog chooses files of one folder at a time");
    }
    host_.fileDialogs.nextChoice = paths;
    dialog->cmdAdd_Click();
  } else if (action == "cancel-add") {
    none();
    host_.fileDialogs.nextChoice.reset();
    dialog->cmdAdd_Click();
  } else if (action == "drop") {
    Require(!rest.empty(), "'dialog drop' needs the files or folders to drop");
    dialog->ListView1_OLEDragDrop(absolute(rest));
  } else if (action == "select") {
    SelectRows(rest);
  } else if (action == "remove") {
    none();
    dialog->ListView1_KeyDown(frmFiles::kKeyDelete, 0);
  } else if (action == "check-password" || action == "uncheck-password") {
    none();
    dialog->chkPassword.Value = action == "check-password";
    dialog->chkPassword_Click();
  } else if (action == "password") {
    Require(rest.size() == 1, "'dialog password' takes one text (quote it)");
    dialog->txtPassword.Text = rest[0];
  } else if (action == "enter") {
    none();
    dialog->txtPassword_KeyUp(frmFiles::kKeyReturn, 0);
  } else if (action == "ok") {
    none();
    dialog->cmdOk_Click();
  } else if (action == "close") {
    none();
    int cancel = 0;
    dialog->Form_Unload(cancel);
    if (cancel != 0) out_ << "closing refused\n";
  } else {
    throw SimUsageError("'dialog' does not know '" + action + "'");
  }
}

void SimAddInSide::SelectRows(const std::vector<std::string>& rows) {
  Require(!rows.empty(), "'dialog select' needs row numbers");
  auto& items = frmFiles::Instance()->ListView1.ListItems;
  for (auto& row : items) row.Selected = false;
  for (const std::string& word : rows) {
    const int row = WholeNumber(word, "dialog select");
    Require(row >= 1 && row <= static_cast<int>(items.size()), "there is no row " + word);
    items[static_cast<std::size_t>(row - 1)].Selected = true;
  }
}

}  // namespace dwl::cli
