#include "apps/sim/SimPrinter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "addin/frmAddIn.h"
#include "apps/sim/SimScript.h"
#include "compose/MailProcessor.h"
#include "dialogs/frmFiles.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"

namespace dwl::cli {

SimPrinter::SimPrinter(std::ostream& out, View view) : out_(out), view_(std::move(view)) {}

void SimPrinter::Print(const std::vector<std::string>& args) {
  Require(args.size() == 1 || args.size() == 2, "'print' takes what to print");
  if (args.size() == 2 && args[0] == "dialog") return PrintDialog(args[1]);
  const std::string& what = args[0];
  if (what == "log") {
    PrintLog();
  } else if (what == "clipboard") {
    const auto picture = view_.clipboard.GetPicture();
    if (!view_.clipboard.GetText().empty()) {
      out_ << "text: " << view_.clipboard.GetText() << "\n";
    } else if (picture) {
      out_ << "picture: " << view_.pictures.NameOf(*picture) << "\n";
    } else {
      out_ << "empty\n";
    }
  } else if (what == "hub") {
    const auto hub = frmAddIn::Instance();
    if (hub->Listening()) {
      out_ << "listening, " << hub->SlotCount() << (hub->SlotCount() == 1 ? " slot\n" : " slots\n");
    } else {
      out_ << "not listening\n";
    }
  } else if (what == "hub-window") {
    const bool shown = view_.connect && view_.connect->OwnHubWindow() && view_.connect->OwnHubWindow()->Visible();
    out_ << (shown ? "shown\n" : "hidden\n");
  } else if (what == "display-on-connect") {
    out_ << view_.settingsStore.GetSetting(Connect::kSettingsAppTitle, Connect::kSettingsSection,
                                      Connect::kDisplayOnConnect, "")
         << "\n";
  } else if (what == "dialog") {
    const auto dialog = frmFiles::Instance();
    if (dialog->Visible()) {
      out_ << "open for mileage " << dialog->Processor()->MailItem()->Mileage() << "\n";
    } else {
      out_ << "closed\n";
    }
  } else if (what == "queue") {
    PrintQueue();
  } else if (what == "agent") {
    Require(view_.agent != nullptr, "'print agent' needs 'host agent=record'");
    for (const std::string& line : view_.agent->commandLines) out_ << line << "\n";
    if (view_.agent->commandLines.empty()) out_ << "not started\n";
  } else {
    throw SimUsageError("'print' cannot print '" + what + "'");
  }
}

void SimPrinter::PrintDialog(const std::string& what) {
  const auto dialog = frmFiles::Instance();
  if (what == "rows") {
    for (const auto& row : dialog->ListView1.ListItems) {
      out_ << row.Text << " | " << row.SubItems[0] << " | " << row.SubItems[1] << "\n";
    }
  } else if (what == "files") {
    out_ << dialog->lblFiles.Caption << "\n";
  } else if (what == "size") {
    out_ << dialog->lblSize.Caption << "\n";
  } else if (what == "password-shown") {
    out_ << (dialog->txtPassword.Visible ? "yes" : "no") << "\n";
  } else if (what == "layout") {
    out_ << "ok " << dialog->cmdOk.Rect.top << ", totals " << dialog->frameTotals.Rect.top
         << ", window " << dialog->ClientArea.height << ", name column "
         << dialog->ListView1.ColumnHeaders[0].Width << ", banner " << dialog->imageHeaderOverlay.Rect.left
         << " " << dialog->imageHeaderOverlay.Rect.top << " " << dialog->imageHeaderOverlay.Rect.width
         << "x" << dialog->imageHeaderOverlay.Rect.height << " ("
         << (dialog->imageHeaderOverlay.Picture ? view_.pictures.NameOf(*dialog->imageHeaderOverlay.Picture)
                                                : "no picture")
         << ")\n";
  } else {
    throw SimUsageError("'print dialog' cannot print '" + what + "'");
  }
}

void SimPrinter::PrintQueue() {
  const auto folder = PathOf(AppSettings::Instance()->getMailQueueDirectory());
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    const std::u8string name = file.filename().u8string();
    out_ << "== " << std::string(name.begin(), name.end()) << "\n";
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      out_ << line << "\n";
    }
  }
  if (files.empty()) out_ << "(empty)\n";
}

void SimPrinter::PrintLog() {
  std::ifstream in(PathOf(view_.logFile), std::ios::binary);
  if (!in) return;
  in.seekg(static_cast<std::streamoff>(view_.logStart));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out_ << LoggedMessage(line) << "\n";
  }
}

}  // namespace dwl::cli
