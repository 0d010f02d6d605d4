#include "compose/MailProcessor.h"

#include "addin/AddInToolbar.h"
#include "addin/frmAddIn.h"
#include "mail/Email.h"
#include "platform/Platform.h"
#include "support/ApplicationLog.h"
#include "support/FindSystemFolders.h"
#include "support/GUID.h"
#include "support/ObjectRef.h"
#include "support/TolerantRun.h"

namespace dwl {

MailProcessor::MailProcessor() : email_(std::make_shared<Email>()) {
  email_->set_EmailSource(1);
  TolerantRun run("MailProcessor.Class_Initialize", [this](const std::string& line) { LogEvent(line); });
  run.Run([&] { browsePath_ = FindSystemFolder(csidl::kPersonal); });
  run.Checkpoint(1);
}

MailProcessor::~MailProcessor() = default;

void MailProcessor::SetMailItem(std::shared_ptr<host::MailItem>& objParam) {
  objMailItem_ = objParam;
  mailClose_ = Use(objMailItem_)->OnClose([this](bool& cancel) { objMailItem_Close(cancel); });
  TolerantRun run("MailProcessor.MailItem", [this](const std::string& line) { LogEvent(line); });
  run.Run([&] { email_->set_ID(GuidWithoutBraces(CreateGuidString())); });
  run.Checkpoint(1);
}

void MailProcessor::SetInspector(std::shared_ptr<host::Inspector>& objParam) {
  objInspector_ = objParam;
  inspectorActivate_.Disconnect();
  if (objInspector_) inspectorActivate_ = objInspector_->OnActivate([this] { objInspector_Activate(); });
}

void MailProcessor::RemoveAllAttachments() { email_->DeleteAllAttachments(); }

void MailProcessor::AddAttachment(const std::string& strFileLocation) {
  auto attachment = std::make_shared<EmailAttachment>();
  attachment->set_FilePath(strFileLocation);
  email_->AddAttachment(attachment);
}

void MailProcessor::setPassword(const std::string& strPassword) { email_->set_Password(strPassword); }

void MailProcessor::objInspector_Activate() {
  // Whether to show the button is asked tolerantly; a failing rebuild (a
  // missing icon, say) goes back to the host as the handler's failure.
  bool show = false;
  TolerantRun("MailProcessor.objInspector_Activate").Run([&] {
    show = ShowsAddInToolbar(frmAddIn::Instance()->HostMajorVersion(), *Use(objInspector_),
                             *Use(objMailItem_));
  });
  if (show) frmAddIn::Instance()->updateAttachmentsCommandbar(objInspector_, *email_);
}

void MailProcessor::objMailItem_Close(bool&) {
  TolerantRun run("objMailItem_Close", [this](const std::string& line) { LogEvent(line); });
  int mailWindows = 0;
  run.Run([&] {
    const auto inspectors = Use(Use(frmAddIn::Instance()->Application())->GetInspectors());
    const int count = inspectors->Count();
    for (int i = 1; i <= count; ++i) {
      if (run.Run([&] { Use(Use(Use(inspectors->Item(i))->CurrentItem())->AsMailItem()); })) {
        ++mailWindows;
      } else {
        run.Checkpoint(1);
      }
    }
  });
  run.Checkpoint(2);

  if (mailWindows < 2) {
    // This was the last mail window: its add-in toolbars go.
    std::shared_ptr<host::CommandBars> bars;
    run.Run([&] { bars = Use(objInspector_)->GetCommandBars(); });
    DeleteAddInToolbars(run, bars);
  }
  inspectorActivate_.Disconnect();
  objInspector_.reset();
}

void MailProcessor::LogEvent(const std::string& strMessage) { frmAddIn::Instance()->LogEvent(strMessage); }

}  // namespace dwl
