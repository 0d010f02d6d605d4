#include "apps/agent/TransferAgent.h"

#include <algorithm>
#include <vector>

#include "apps/terminal/ConnectionText.h"
#include "apps/terminal/SizeText.h"

#include "mail/EmailQueue.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"
#include "support/LineBreaks.h"

namespace dwl::agent {

TransferAgent::TransferAgent(AgentOptions options, terminal::ProgressDisplay& display,
                             std::unique_ptr<AgentMark> mark)
    : options_(std::move(options)),
      display_(display),
      mark_(std::move(mark)),
      socket_(ThePlatform().eventLoop->NewTcpSocket()) {
  client_.SetSocket(socket_.get());
  client_.SetEvents(this);
  // Both run from the loop, never from inside the client's own events.
  retry_.TimeOut = [this] {
    retry_.StopTimer();
    Next();
  };
  watch_.TimeOutValue(kWatchSeconds);
  watch_.TimeOut = [this] {
    if (queue_.Oldest(finished_)) {
      watch_.StopTimer();
      idle_ = false;
      Next();
    }
  };
  // Where the system tells of new queue files, one wakes the agent at once;
  // elsewhere the agent looks every kWatchSeconds.
  queueWatch_ = ThePlatform().eventLoop->WatchFolder(queue_.QueueFolder(), [this] {
    if (idle_) watch_.TimeOut();
  });
  if (queueWatch_) watch_.TimeOutValue(kLookSecondsWhileWatched);
}

TransferAgent::~TransferAgent() {
  client_.SetEvents(nullptr);
  client_.SetSocket(nullptr);
}

void TransferAgent::Log(const std::string& message) {
  ApplicationLog::Instance()->AddMessage("TransferAgent: " + message);
}

void TransferAgent::Start() {
  Log(std::string("started") + (options_.once ? " (-o)" : ""));
  Next();
}

void TransferAgent::Stop() {
  // The figure of the file under way as it is now, not at the last tick.
  if (display_.FileState()) display_.Update(std::max(0.0, client_.getBytesTransferred() - fileBase_));
  retry_.StopTimer();
  watch_.StopTimer();
  idle_ = false;
  done_ = true;
  if (link_ != Link::Down) client_.CancelTransfer();
}

void TransferAgent::Next() {
  if (done_) return;
  while (!current_) {
    const std::optional<std::string> path = queue_.Oldest(finished_);
    if (!path) return QueueEmpty();
    currentPath_ = *path;
    try {
      current_ = EmailQueue::ReadQueueFile(*path);
      attempts_.Restart();
      if (!TellMissingFiles()) continue;
      display_.Message("e-mail " + current_->get_ID() + ": " +
                       terminal::Counted(current_->NumberOfAttachments(), "file"));
    } catch (const Error& failure) {
      GiveUp("it cannot be read: " + failure.Description());
      finished_.insert(*path);  // if even the move failed
    }
  }
  Send();
}

void TransferAgent::QueueEmpty() {
  if (link_ == Link::LoggedIn) {
    link_ = Link::Down;  // our own goodbye: its close is no loss
    client_.Disconnect();
  }
  if (!options_.once) {
    idle_ = true;
    watch_.StartTimer();
    return;
  }
  // Leave without losing a wake-up: an add-in that queues now finds no agent
  // and starts one, or its file is here when we look again.
  mark_.reset();
  if (queue_.Empty() || !queue_.Oldest(finished_)) {
    Log("the queue is empty");
    done_ = true;
    return;
  }
  mark_ = ThePlatform().transferAgent->TryAcquireMark();
  if (!mark_) {
    Log("another TransferAgent took over");
    done_ = true;
    return;
  }
  Next();
}

void TransferAgent::Connect() {
  if (done_ || link_ != Link::Down) return;
  // The account may have been set or mended since the last try.
  const auto settings = AppSettings::Instance();
  settings->RefreshSettings();
  if (options_.host) settings->setRemoteServer(*options_.host, *options_.port);
  link_ = Link::Connecting;
  sending_ = false;
  client_.ConnectToServer();
}

void TransferAgent::Send() {
  if (link_ == Link::Down) return Connect();
  if (link_ != Link::LoggedIn) return;  // ConnectedToServer sends it
  StartChangedFilesAfresh();
  sending_ = true;
  fileBytesBefore_ = client_.getFileBytesSent();  // an earlier e-mail's, on this connection
  client_.SendEmail(current_);
}

void TransferAgent::StartChangedFilesAfresh() {
  const std::vector<std::string> changed = current_->StartChangedFilesAfresh();
  for (const std::string& path : changed) {
    Log(path + " changed since its upload began: it is sent afresh");
    display_.Message(path + " changed: sending it afresh");
  }
  if (!changed.empty()) SaveProgress();
}

void TransferAgent::ConnectedToServer(const std::string&) {
  link_ = Link::LoggedIn;
  refusedLogins_ = 0;
  if (current_) {
    Send();
  } else {
    Next();
  }
}

void TransferAgent::EmailReady(const std::string&) {
  current_->set_CreatedOnServer(true);
  attempts_.EmailAccepted();
  SaveProgress();
}

void TransferAgent::StartAttachment(EmailAttachment& objAttachment) {
  // The id and the file as it is now: a later attempt resumes this file only.
  objAttachment.NoteUploadStart();
  SaveProgress();
  fileBase_ = client_.getBytesTransferred();
  display_.FinishFile();  // the file before: the server answered its end
  display_.StartFile(objAttachment.get_Filename(), objAttachment.get_Size(),
                     static_cast<double>(client_.getFilePosition()));
}

void TransferAgent::AttachmentFinished(EmailAttachment& objAttachment) {
  attempts_.FileFinished(objAttachment.get_ID());
  display_.AllSent();
}

void TransferAgent::BytesTransferred(double dblBytes) {
  display_.Update(std::max(0.0, dblBytes - fileBase_));
}

void TransferAgent::EmailFinished(double dblValue, std::int32_t lngValue) {
  display_.FinishFile();
  const std::string figures =
      terminal::UploadedSize(dblValue, current_->Size()) + " in " + terminal::Counted(lngValue, "file");
  Log("uploaded " + current_->get_ID() + ": " + figures);
  display_.Message("uploaded e-mail " + current_->get_ID() + ": " + figures);
  try {
    ThePlatform().files->RemoveFile(currentPath_);
  } catch (const Error& failure) {
    // Sending it again would deliver it twice.
    Log("could not remove " + currentPath_ + ": " + failure.Description());
    finished_.insert(currentPath_);
  }
  current_.reset();
  sending_ = false;
  retrySeconds_ = 1;
  Next();
}

void TransferAgent::EmailIsTooLarge() {
  GiveUp("the server refuses an e-mail of this size");
  // The client says QUIT; the next e-mail goes on a new connection.
}

void TransferAgent::ErrorOccured(const std::string& strMessage) {
  // Still connected before the login: the server refused the account.
  const bool refused = link_ == Link::Connecting && socket_->State() == SocketState::Connected;
  lastProblem_ = terminal::ClientProblem(client_, strMessage, refused, link_ == Link::LoggedIn);
  Log(lastProblem_);
  if (!refused || ++refusedLogins_ == 1) display_.Message(lastProblem_);
  if (refused && options_.once && refusedLogins_ > 1) {
    // The same account would be refused again and again: the user has to mend it.
    display_.Message("the login was refused again: leaving; the queued e-mails stay");
    failed_ = true;
    Stop();
    return;
  }
  if (socket_->State() == SocketState::Connected) {
    // A refused login, or an upload the client ended on a reply it cannot
    // go on with: close, wait, try again.
    client_.CancelTransfer();
  }
  ConnectionLost(lastProblem_);
}

void TransferAgent::DisconnectedFromServer() { ConnectionLost("the connection ended"); }

void TransferAgent::ConnectionLost(const std::string& why) {
  if (link_ == Link::Down) return;  // told already
  link_ = Link::Down;
  if (done_) return;
  if (current_ && sending_) {
    // Bytes sent before the first progress tick count too.
    attempts_.FileBytesSent(client_.getFileBytesSent() - fileBytesBefore_);
    const UploadAttempts::Outcome outcome = attempts_.End();
    if (outcome == UploadAttempts::Outcome::Progressed) retrySeconds_ = 1;
    if (outcome == UploadAttempts::Outcome::GiveUp) {
      GiveUp("it failed " + std::to_string(attempts_.FruitlessInARow()) +
             " times in a row without progress (" + (lastProblem_.empty() ? why : lastProblem_) + ")");
    }
  }
  sending_ = false;
  if (!current_) {
    // Nothing interrupted (the e-mail was too large, or the server said
    // goodbye): on with the next one, from the loop.
    retry_.TimeOutValue(1);
    retry_.StartTimer();
    return;
  }
  RetryLater();
}

void TransferAgent::RetryLater() {
  display_.Message("connecting again in " + std::to_string(retrySeconds_) + " s");
  retry_.TimeOutValue(retrySeconds_);
  retry_.StartTimer();
  retrySeconds_ = std::min(retrySeconds_ * 2, kMostRetrySeconds);
}

void TransferAgent::SaveProgress() {
  try {
    EmailQueue::Instance()->RewriteQueueFile(*current_, currentPath_);
  } catch (const Error& failure) {
    Log("could not keep the progress in " + currentPath_ + ": " + failure.Description());
  }
}

bool TransferAgent::TellMissingFiles() {
  const std::vector<std::string>& missing = current_->MissingFiles();
  if (missing.empty()) return true;
  std::string names;
  for (const std::string& path : missing) names += (names.empty() ? "" : ", ") + Printable(path);
  if (current_->NumberOfAttachments() == 0) {
    // Sent anyway, the recipients would get a link to nothing.
    GiveUp(missing.size() == 1 ? "its file is gone: " + names : "its files are gone: " + names);
    return false;
  }
  const std::string line = "e-mail " + current_->get_ID() + ": sent without " +
                           (missing.size() == 1 ? "its file " : "its files ") + names + ", which " +
                           (missing.size() == 1 ? "is" : "are") + " gone";
  display_.Message(line);
  Log(line);
  return true;
}

void TransferAgent::GiveUp(const std::string& why) {
  display_.Message("e-mail " + (current_ ? current_->get_ID() : currentPath_) + " moved to Failed: " + why);
  try {
    queue_.MoveToFailed(currentPath_, why);
  } catch (const Error& failure) {
    Log("could not move " + currentPath_ + " to Failed: " + failure.Description());
    finished_.insert(currentPath_);
  }
  current_.reset();
  sending_ = false;
}

}  // namespace dwl::agent
