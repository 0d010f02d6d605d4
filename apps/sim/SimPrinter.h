// What the print command of `dwl sim` shows of the add-in's side: the
// attachments dialog, the queue files, the add-in's log lines of the run,
// the clipboard, the hub and TransferAgent's recorded starts. It only reads.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "addin/Connect.h"
#include "platform/sim/SimPictureFiles.h"
#include "platform/sim/SimSettingsStore.h"
#include "platform/sim/SimTransferAgent.h"

namespace dwl::cli {

class SimPrinter {
 public:
  // What the session shows it.
  struct View {
    Clipboard& clipboard;
    const sim::SimPictureFiles& pictures;
    sim::SimSettingsStore& settingsStore;
    const Connect* connect;              // null while not connected
    const sim::SimTransferAgent* agent;  // null unless starts are recorded
    std::string logFile;
    std::uintmax_t logStart;  // where this run's lines begin
  };

  SimPrinter(std::ostream& out, View view);
  // `args` of a print command.
  void Print(const std::vector<std::string>& args);

 private:
  void PrintLog();
  void PrintDialog(const std::string& what);
  void PrintQueue();

  std::ostream& out_;
  View view_;
};

}  // namespace dwl::cli
