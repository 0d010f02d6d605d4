// One run of `dwl sim`: a simulated Outlook with the add-in connected to it,
// driven by script commands, one per line. Wrong commands throw SimUsageError;
// failures the add-in returns to the host are printed as
// "host got error: <number> <description>" and the run goes on. The
// commands that reach into the add-in itself go to its SimAddIn.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "apps/sim/SimAddIn.h"
#include "apps/sim/SimScript.h"
#include "platform/sim/SimOutlook.h"

namespace dwl::cli {

class SimSession {
 public:
  SimSession(std::ostream& out, std::unique_ptr<SimAddIn> addIn);
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
  void MakeFile(const std::vector<std::string>& args);
  void PrintWindow(const std::string& name, const std::string& what);
  sim::SimOutlook& Outlook();
  void ReportHostErrors();

  std::ostream& out_;
  std::string version_ = "11.0.8217";
  int explorers_ = 1;
  std::shared_ptr<sim::SimOutlook> outlook_;
  std::unique_ptr<SimAddIn> addIn_;
  std::shared_ptr<host::AddInEntry> connection_;
};

}  // namespace dwl::cli
