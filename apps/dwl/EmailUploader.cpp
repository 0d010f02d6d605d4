#include "apps/dwl/EmailUploader.h"

#include <cstdio>

#include "platform/Platform.h"
#include "support/LineBreaks.h"

namespace dwl::cli {

namespace {

std::string Mebibytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
  return text;
}

}  // namespace

EmailUploader::EmailUploader(std::shared_ptr<Email> email, int attempts, std::ostream& out,
                             std::ostream& err)
    : email_(std::move(email)),
      attempts_(attempts),
      out_(out),
      err_(err),
      socket_(ThePlatform().eventLoop->NewTcpSocket()) {
  client_.SetSocket(socket_.get());
  client_.SetEvents(this);
  retry_.TimeOutValue(kRetrySeconds);
  // Reconnecting from the loop, never from inside the communicator's events.
  retry_.TimeOut = [this] {
    retry_.StopTimer();
    err_ << "connecting again (" << attempts_.FruitlessInARow() + 1 << " of "
         << attempts_.MostFruitless() << ")\n";
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
    err_ << path << " changed since its upload began: sending it afresh\n";
  }
  client_.SendEmail(email_);
}

void EmailUploader::EmailReady(const std::string&) { attempts_.EmailAccepted(); }

void EmailUploader::DisconnectedFromServer() {
  if (!finished_ && !failed_) ConnectionOver();
}

void EmailUploader::EmailIsTooLarge() { Fail("the server refuses an e-mail of this size"); }

void EmailUploader::EmailFinished(double dblValue, std::int32_t lngValue) {
  finished_ = true;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f MB in %d file%s", dblValue, static_cast<int>(lngValue),
                lngValue == 1 ? "" : "s");
  out_ << "uploaded e-mail " << email_->get_ID() << ": " << text << "\n";
  client_.Disconnect();
}

void EmailUploader::StartAttachment(EmailAttachment& objAttachment) {
  objAttachment.NoteUploadStart();
  err_ << "sending " << objAttachment.get_Filename() << " (" << Mebibytes(objAttachment.get_Size())
       << ")\n";
}

void EmailUploader::AttachmentFinished(EmailAttachment& objAttachment) {
  attempts_.FileFinished(objAttachment.get_ID());
  err_ << "sent " << objAttachment.get_Filename() << "\n";
}

void EmailUploader::BytesTransferred(double dblBytes) {
  err_ << "  " << Mebibytes(dblBytes) << " sent\n";
}

void EmailUploader::ErrorOccured(const std::string& strMessage) {
  lastProblem_ = OneLine(strMessage);
  err_ << lastProblem_ << "\n";
  if (failed_ || finished_) return;
  if (socket_->State() != SocketState::Connected) return ConnectionOver();
  // Still connected before the login: it was refused, and trying again would
  // not help.
  if (!loggedIn_) return Fail(lastProblem_);
  // The client ended the upload on a reply it cannot go on with: an attempt
  // like any other, which the close ends (DisconnectedFromServer, else here).
  client_.CancelTransfer();
  ConnectionOver();
}

void EmailUploader::ConnectionOver() {
  if (!connectionOpen_) return;
  connectionOpen_ = false;
  attempts_.FileBytesSent(client_.getFileBytesSent());
  if (attempts_.End() == UploadAttempts::Outcome::GiveUp) {
    Fail(lastProblem_.empty() ? "the connection to the server was lost" : lastProblem_);
    return;
  }
  retry_.StartTimer();
}

void EmailUploader::Fail(const std::string& why) {
  if (failed_) return;
  failed_ = true;
  failure_ = why;
  retry_.StopTimer();
  client_.CancelTransfer();
}

}  // namespace dwl::cli
