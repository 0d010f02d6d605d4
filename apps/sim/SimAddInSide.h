// The add-in's side of a `dwl sim` run, in the module that holds the core:
// the services the simulated host lends the add-in (per-user store, open
// dialog, attachments window, clipboard and outside objects where the system
// has none, a recorded TransferAgent, a fixed number format), installed over
// the current platform while it lives, and the commands and prints that
// reach into the add-in. Alerts are written to `err` as "title: text".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "addin/Connect.h"
#include "platform/Platform.h"
#include "platform/sim/FixedNumberFormat.h"
#include "platform/sim/SimDialogWindow.h"
#include "platform/sim/SimHostServices.h"
#include "platform/sim/SimTransferAgent.h"

namespace dwl::cli {

class SimAddInSide {
 public:
  // `connection` tells the add-in's current entry object (null when none).
  SimAddInSide(std::ostream& out, std::ostream& err, std::function<const Connect*()> connection);
  ~SimAddInSide();
  SimAddInSide(const SimAddInSide&) = delete;
  SimAddInSide& operator=(const SimAddInSide&) = delete;

  // host, display-on-connect, clipboard, dialog and print commands.
  void Execute(const std::vector<std::string>& words);
  std::string PictureName(const Picture& picture) const { return host_.pictures.NameOf(picture); }
  void Shutdown();

 private:
  class StreamAlerts final : public UserAlerts {
   public:
    explicit StreamAlerts(std::ostream& err) : err_(err) {}
    void Critical(const std::string& text, const std::string& title) override;

   private:
    std::ostream& err_;
  };

  void Host(const std::vector<std::string>& args);
  void ClipboardCommand(const std::vector<std::string>& args);
  void DialogCommand(const std::vector<std::string>& args);
  void SelectRows(const std::vector<std::string>& rows);
  void Print(const std::vector<std::string>& args);
  Clipboard& TheClipboard() const;

  std::ostream& out_;
  std::function<const Connect*()> connection_;
  sim::SimHostServices host_;
  StreamAlerts alerts_;
  std::optional<sim::FixedNumberFormat> numberFormat_;
  sim::SimDialogWindow dialogWindow_;
  std::optional<sim::SimTransferAgent> recordedAgent_;
  // The system's own clipboard and outside objects, where it has them.
  bool systemClipboard_ = false;
  bool systemObjects_ = false;
  std::optional<ScopedPlatform> installed_;
  std::string logFile_;
  std::uintmax_t logStart_ = 0;
};

}  // namespace dwl::cli
