// The host services of the simulation: a clipboard, picture files, the safe
// mail item component (working on the simulated mail item directly, as a host
// without security prompts allows) and a number format the script sets.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/Clipboard.h"
#include "platform/DialogWindow.h"
#include "platform/FileDialogs.h"
#include "platform/TransferAgentControl.h"
#include "platform/NumberFormat.h"
#include "platform/SafeMailItem.h"
#include "platform/SettingsStore.h"
#include "platform/portable/PortablePictureFiles.h"
#include "platform/sim/SimItems.h"

namespace dwl::sim {

class SimClipboard : public Clipboard {
 public:
  std::string GetText() override { return text_; }
  std::optional<Picture> GetPicture() override { return picture_; }
  void SetBitmap(const Picture& picture) override;
  void SetText(const std::string& text) override;
  void Clear() override;

 private:
  std::string text_;
  std::optional<Picture> picture_;
};

// Picture files as the system reads them, remembering where each came from.
class SimPictureFiles : public PictureFiles {
 public:
  Picture LoadPicture(const std::string& path) override;
  // The file name a picture was last loaded from, or "".
  std::string NameOf(const Picture& picture) const;

 private:
  portable::PortablePictureFiles files_;
  std::map<std::string, std::string> names_;  // bytes -> file name
};

class SimSafeMailItem : public host::SafeMailItem {
 public:
  void SetItem(std::shared_ptr<host::MailItem> item) override;
  std::string Subject() override { return Mail().subject; }
  std::shared_ptr<host::SafeRecipients> Recipients() override;
  std::shared_ptr<host::SafeAttachments> Attachments() override;
  std::string Body() override { return Mail().body; }
  void SetBody(const std::string& body) override { Mail().body = body; }
  std::string HTMLBody() override { return Mail().htmlBody; }
  void SetHTMLBody(const std::string& html) override;
  void SetBodyFormat(int format) override { Mail().bodyFormat = format; }
  void Save() override { Mail().Save(); }

 private:
  SimMailItem& Mail();
  std::shared_ptr<SimMailItem> mail_;
};

class SimObjectFactory : public host::ObjectFactory {
 public:
  static constexpr const char* kSafeMailItemProgId = "RedemptionDWL.DWLSafeMailItem";
  // Whether the safe mail item component is installed.
  bool safeMailItemInstalled = true;
  std::shared_ptr<host::SafeMailItem> CreateSafeMailItem(const std::string& progId) override;
};

// The per-user store, kept in memory for one simulated session.
class SimSettingsStore : public SettingsStore {
 public:
  std::string GetSetting(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& defaultValue) override;
  void SaveSetting(const std::string& appName, const std::string& section,
                   const std::string& key, const std::string& value) override;

 private:
  std::map<std::string, std::string> values_;
};

// A dialog window without a screen: it records what the logic asks of it.
class SimDialogWindow : public DialogWindow {
 public:
  void Show() override { shown = true; }
  void Hide() override;
  void Update() override { ++updates; }
  void DoEvents() override;
  bool SetFocus(const std::string& control) override;
  void ForceToForeground() override { foreground = true; }
  void SetTopmost(bool value) override { topmost = value; }

  bool shown = false;
  bool foreground = false;
  bool topmost = false;
  std::string focus;
  int updates = 0;
  // What the user does the next time pending events run.
  std::function<void()> duringEvents;
};

// The open dialog answers with the files the script chose.
class SimFileDialogs : public FileDialogs {
 public:
  // Full paths, all in one folder; nullopt cancels.
  std::optional<std::vector<std::string>> nextChoice;
  OpenFileRequest lastRequest;
  std::optional<std::string> ShowOpen(const OpenFileRequest& request) override;
};

// Records the starts of TransferAgent instead of running it; a started agent
// counts as running from then on.
class SimTransferAgent : public TransferAgentControl {
 public:
  bool IsRunning() override { return running; }
  void Start(const std::string& moduleFolder) override;
  std::unique_ptr<AgentMark> TryAcquireMark() override { return nullptr; }

  bool running = false;
  std::vector<std::string> commandLines;
};

class FixedNumberFormat : public NumberFormat {
 public:
  FixedNumberFormat(std::string decimal, std::string thousands, int groupSize)
      : decimal_(std::move(decimal)), thousands_(std::move(thousands)), groupSize_(groupSize) {}
  std::string DecimalSeparator() override { return decimal_; }
  std::string ThousandsSeparator() override { return thousands_; }
  int GroupSize() override { return groupSize_; }

 private:
  std::string decimal_;
  std::string thousands_;
  int groupSize_;
};

}  // namespace dwl::sim
