// One run of `dwl sim`: a simulated Outlook with the add-in connected to it,
// driven by script commands, one per line. Wrong commands throw SimUsageError;
// failures the add-in returns to the host are printed as
// "host got error: <number> <description>" and the run goes on.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "addin/Connect.h"
#include "apps/dwl/SimScript.h"
#include "platform/Platform.h"
#include "platform/sim/SimOutlook.h"
#include "platform/sim/SimHostServices.h"
#include "platform/sim/FixedNumberFormat.h"
#include "platform/sim/SimDialogWindow.h"
#include "platform/sim/SimTransferAgent.h"

namespace dwl::cli {

class SimSession {
 public:
  explicit SimSession(std::ostream& out);
  ~SimSession();

  // Runs one command given as words (the first is the command).
  void Execute(const std::vector<std::string>& words);

  // The commands, for --help.
  static const char* Help();

 private:
  void Host(const std::vector<std::string>& args);
  void ConnectAddIn(const std::vector<std::string>& args);
  void Disconnect();
  void Open(const std::vector<std::string>& args);
  void Mail(const std::vector<std::string>& args);
  void ClipboardCommand(const std::vector<std::string>& args);
  void Print(const std::vector<std::string>& args);
  void DialogCommand(const std::vector<std::string>& args);
  void SelectRows(const std::vector<std::string>& rows);
  void MakeFile(const std::vector<std::string>& args);
  sim::SimOutlook& Outlook();
  void ReportHostErrors();

  std::ostream& out_;
  std::string version_ = "11.0.8217";
  int explorers_ = 1;
  std::shared_ptr<sim::SimOutlook> outlook_;
  std::shared_ptr<Connect> connect_;
  sim::SimHostServices host_;
  std::optional<sim::FixedNumberFormat> numberFormat_;
  sim::SimDialogWindow dialogWindow_;
  std::optional<sim::SimTransferAgent> recordedAgent_;
  std::optional<ScopedPlatform> installed_;
  std::string logFile_;
  std::uintmax_t logStart_ = 0;
};

}  // namespace dwl::cli
