#include "apps/dwl/EmailUploader.h"

#include "apps/terminal/ConnectionText.h"
#include "apps/terminal/SizeText.h"
#include "platform/Platform.h"
#include "support/LineBreaks.h"

namespace dwl::cli {

EmailUploader::EmailUploader(std::shared_ptr<Email> email, int attempts, std::ostream& out,
                             terminal::ProgressDisplay& display)
    : email_(std::move(email)),
      attempts_(attempts),
      out_(out),
      display_(display),
      socket_(ThePlatform().eventLoop->NewTcpSocket()) {
  client_.SetSocket(socket_.get());
  client_.SetEvents(this);
  retry_.TimeOutValue(kRetrySeconds);
  // Reconnecting from the loop, never from inside the communicator's events.
  retry_.TimeOut = [this] {
    retry_.StopTimer();
    display_.Message("connecting again (" + std::to_string(attempts_.FruitlessInARow() + 1) + " of " +
                     std::to_string(attempts_.MostFruitless()) + ")");
    Connect();
  };
}

EmailUploader::~EmailUploader() { client_.SetSocket(nullptr); }

void EmailUploader::Start() { Connect(); }

void EmailUploader::Connect() {
  connectionOpen_ = true;
  loggedIn_ = false;
  client_.ConnectToServer();
}

bool EmailUploader::Done() const {
  if (failed_) return true;
  // After the last reply the client said QUIT: once the system holds it the
  // server gets it, whether or not we wait for its answer.
  return finished_ && (client_.QuitHandedOver() || socket_->State() != SocketState::Connected);
}

void EmailUploader::ConnectedToServer(const std::string&) {
  loggedIn_ = true;
  for (const std::string& path : email_->StartChangedFilesAfresh()) {
    display_.Message(path + " changed since its upload began: sending it afresh");
  }
  client_.SendEmail(email_);
}

void EmailUploader::EmailReady(const std::string&) {
  // A later connection, or a later run (UploadRecord), resumes it.
  email_->set_CreatedOnServer(true);
  attempts_.EmailAccepted();
}

void EmailUploader::DisconnectedFromServer() {
  if (!finished_ && !failed_) ConnectionOver();
}

void EmailUploader::EmailIsTooLarge() { Fail(kTooLarge); }

void EmailUploader::EmailFinished(double dblValue, std::int32_t lngValue) {
  finished_ = true;
  display_.FinishFile();
  out_ << "uploaded e-mail " << email_->get_ID() << ": " << terminal::UploadedSize(dblValue, email_->Size()) << " in "
       << terminal::Counted(lngValue, "file") << "\n";
  client_.Disconnect();
}

void EmailUploader::StartAttachment(EmailAttachment& objAttachment) {
  objAttachment.NoteUploadStart();
  fileBase_ = client_.getBytesTransferred();
  display_.FinishFile();  // the file before: the server answered its end
  display_.StartFile(objAttachment.get_Filename(), objAttachment.get_Size(),
                     static_cast<double>(client_.getFilePosition()));
}

void EmailUploader::AttachmentFinished(EmailAttachment& objAttachment) {
  attempts_.FileFinished(objAttachment.get_ID());
  display_.AllSent();
}

void EmailUploader::BytesTransferred(double dblBytes) { display_.Update(dblBytes - fileBase_); }

void EmailUploader::ErrorOccured(const std::string& strMessage) {
  // Still connected before the login: it was refused, and trying again would not help.
  const bool refused = !loggedIn_ && socket_->State() == SocketState::Connected;
  lastProblem_ = terminal::ClientProblem(client_, strMessage, refused, loggedIn_);
  if (failed_ || finished_) return;
  if (socket_->State() != SocketState::Connected) return ConnectionOver();
  if (refused) return Fail(lastProblem_);
  // The client ended the upload on a reply it cannot go on with: an attempt
  // like any other, which the close ends (DisconnectedFromServer, else here).
  client_.CancelTransfer();
  ConnectionOver();
}

void EmailUploader::ConnectionOver() {
  if (!connectionOpen_) return;
  connectionOpen_ = false;
  attempts_.FileBytesSent(client_.getFileBytesSent());
  const std::string problem = lastProblem_.empty() ? "the connection to the server ended" : lastProblem_;
  lastProblem_.clear();
  if (attempts_.End() == UploadAttempts::Outcome::GiveUp) {
    const int tries = attempts_.FruitlessInARow();
    Fail(tries > 1 ? problem + " (" + std::to_string(tries) + " attempts without progress)" : problem);
    return;
  }
  // Told here, once per attempt: the last one is the owner's to tell.
  display_.Message(problem);
  retry_.StartTimer();
}

bool EmailUploader::ServerHoldsSome() const { return email_->ServerHoldsSome(); }

std::optional<std::string> EmailUploader::Interrupt() {
  // The figure of the file under way as it is now, not at the last tick.
  if (display_.FileState()) display_.Update(client_.getBytesTransferred() - fileBase_);
  const std::optional<std::string> file = display_.FileState();
  Fail("interrupted");
  return file;
}

void EmailUploader::Fail(const std::string& why) {
  if (failed_) return;
  failed_ = true;
  failure_ = why;
  retry_.StopTimer();
  client_.CancelTransfer();
}

}  // namespace dwl::cli
