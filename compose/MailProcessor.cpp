#include "compose/MailProcessor.h"

#include <set>

#include "addin/AddInToolbar.h"
#include "addin/frmAddIn.h"
#include "compose/DownloadLinkNotice.h"
#include "mail/Email.h"
#include "mail/EmailQueue.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"
#include "support/FindSystemFolders.h"
#include "support/GUID.h"
#include "support/ObjectRef.h"
#include "support/TolerantRun.h"
#include "support/ValueText.h"

namespace dwl {

namespace {
constexpr int kBodyFormatHTML = 2;  // olFormatHTML
// The component that reads and writes the message without security prompts.
constexpr const char* kSafeMailItemProgId = "RedemptionDWL.DWLSafeMailItem";
}  // namespace

MailProcessor::MailProcessor() : email_(std::make_shared<Email>()) {
  email_->set_EmailSource(1);
  TolerantRun run("MailProcessor.Class_Initialize", [this](const std::string& line) { LogEvent(line); });
  run.Run([&] { browsePath_ = FindSystemFolder(csidl::kPersonal); });
  run.Checkpoint(1);
}

MailProcessor::~MailProcessor() = default;

void MailProcessor::SetMailItem(std::shared_ptr<host::MailItem>& objParam) {
  objMailItem_ = objParam;
  mailSend_ = Use(objMailItem_)->OnSend([this](bool& cancel) { objMailItem_Send(cancel); });
  mailClose_ = objMailItem_->OnClose([this](bool& cancel) { objMailItem_Close(cancel); });
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

void MailProcessor::InsertDownloadLinkInMessage() {
  TolerantRun run("InsertDownloadLinkIntoMessage", [this](const std::string& line) { LogEvent(line); });
  settings_ = AppSettings::Instance();
  const std::shared_ptr<host::SafeMailItem> safe = Use(safeMailItem_);
  const int files = email_->NumberOfAttachments();
  bool extra = false;
  run.Run([&] { extra = Use(safe->Attachments())->Count() > 0; });
  run.Checkpoint(2);
  const std::string sentence = notice::Sentence(files, extra);
  const std::string link = settings_->getFileDownloadUrl() + email_->get_ID();
  const std::string html = notice::Html(sentence, link);
  const std::string plain = notice::Plain(sentence, link);
  run.Checkpoint(3);

  // Read without tolerance: a body that could not be read must not be
  // replaced by the notice alone.
  const std::string oldBody = safe->Body();
  const std::string oldHtml = safe->HTMLBody();
  // Sent before (and cancelled after us): the notice of that send is
  // brought up to date instead of a second one going in.
  const std::string sentenceText = sentence.substr(0, sentence.find('\r'));
  std::string restated = oldHtml.empty() ? oldBody : oldHtml;
  if (earlierNotice_ && notice::Restate(restated, earlierNotice_->sentence, earlierNotice_->link,
                                        sentenceText, link)) {
    run.Run([&] { oldHtml.empty() ? safe->SetBody(restated) : safe->SetHTMLBody(restated); });
  } else if (!oldBody.empty() && oldHtml.empty()) {
    run.Checkpoint(4);
    run.Run([&] { safe->SetBody(plain + oldBody); });
  } else {
    run.Checkpoint(5);
    if (!oldHtml.empty()) {
      run.Checkpoint(6);
      std::string working = oldHtml;
      run.Checkpoint(7);
      const std::size_t at = notice::InsertionPoint(working);
      if (at == std::string::npos) {
        run.Run([&] { safe->SetHTMLBody(notice::HtmlDocument(html + oldHtml)); });
        run.Checkpoint(8);
      } else {
        working.insert(at, html);
        run.Checkpoint(9);
        run.Run([&] { safe->SetHTMLBody(working); });
        run.Checkpoint(10);
      }
    } else {
      run.Run([&] { safe->SetHTMLBody(notice::HtmlDocument(html)); });
      run.Checkpoint(11);
    }
    run.Run([&] {
      if (frmAddIn::Instance()->HostMajorVersion() == 11) safe->SetBodyFormat(kBodyFormatHTML);
    });
  }
  run.Checkpoint(12);
  safe->Save();
  earlierNotice_ = WrittenNotice{sentenceText, link};
}

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

void MailProcessor::objMailItem_Send(bool&) {
  if (email_->NumberOfAttachments() < 1) return;
  try {
    Use(objMailItem_)->Save();
    safeMailItem_ = Use(Use(ThePlatform().objects).CreateSafeMailItem(kSafeMailItemProgId));
    safeMailItem_->SetItem(objMailItem_);
    if (earlierNotice_) {
      // This window was sent before and the send was cancelled after us
      // (by another add-in or the host). That e-mail may be on its way to
      // the server already, so this send is a new e-mail of its own, with
      // the recipients it has now.
      email_->set_ID(GuidWithoutBraces(CreateGuidString()));
      email_->DeleteAllRecipients();
    }
    InsertDownloadLinkInMessage();

    TolerantRun subject("objMailItem_Send", [this](const std::string& line) { LogEvent(line); });
    subject.Run([&] { email_->set_Subject(safeMailItem_->Subject()); });
    subject.Checkpoint(1);

    const std::shared_ptr<host::SafeRecipients> recipients = Use(safeMailItem_->Recipients());
    const int count = recipients->Count();
    std::set<std::string> added;
    for (int i = 1; i <= count; ++i) {
      const std::string address = Use(recipients->Item(i))->Address();
      // The same person in To and Cc gets one download link, not two.
      if (address.empty() || added.insert(LowerCaseAscii(address)).second) email_->AddRecipient(address);
    }
    const std::shared_ptr<EmailQueue> queue = EmailQueue::Instance();
    queue->AddEmail(email_);
    queue->StartEmailTransfers();
  } catch (const Error& failure) {
    // The host sends the message anyway, maybe with a link to files that
    // will never arrive: the user must hear of it.
    TolerantRun failed("objMailItem_Send", [this](const std::string& line) { LogEvent(line); });
    failed.Fail(failure);
    failed.Checkpoint(2);
    if (ThePlatform().alerts) {
      ThePlatform().alerts->Critical(
          "The Dropwell files of this message could not be queued: " + failure.Description(), "");
    }
    throw;
  }
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
