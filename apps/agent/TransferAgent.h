// TransferAgent's work: uploads the queued e-mails one at a time, oldest
// queue file first, through a ServerCommunicator, and keeps each queue file
// up to date so that nothing is sent twice or lost: CreatedOnServer after the
// server took the e-mail, each attachment's id once it has one; the file goes
// when the e-mail is complete. After a lost connection, a time-out or a
// refused login it waits (1, 2, 4, ... 60 s) and sends the interrupted
// e-mail again, which then resumes. An e-mail the server refuses as too
// large, or that fails again and again without progress (UploadAttempts),
// moves to Failed. A file that changed since its upload began is sent afresh.
// Runs on the platform's event loop; single-threaded.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "apps/agent/AgentQueue.h"
#include "apps/terminal/ProgressDisplay.h"
#include "platform/FolderWatch.h"
#include "platform/TransferAgentControl.h"
#include "transfer/ServerCommunicator.h"
#include "transfer/UploadAttempts.h"

namespace dwl::agent {

struct AgentOptions {
  // -o: leave once the queue is empty; else watch it for new files.
  bool once = false;
  // --server HOST:PORT instead of the built-in server.
  std::optional<std::string> host;
  std::optional<std::uint16_t> port;
};

class TransferAgent : private ServerCommunicatorEvents {
 public:
  static constexpr std::int32_t kMostRetrySeconds = 60;
  static constexpr std::int32_t kWatchSeconds = 1;
  // Where the system tells of new queue files the agent still looks this
  // often: a watch can end unseen (its folder removed and made again).
  static constexpr std::int32_t kLookSecondsWhileWatched = 30;
  // Attempts in a row without progress before an e-mail goes to Failed.
  static constexpr int kMostFruitlessAttempts = 5;

  // `mark`: this agent's single-instance mark, held while it works.
  TransferAgent(AgentOptions options, terminal::ProgressDisplay& display, std::unique_ptr<AgentMark> mark);
  ~TransferAgent() override;

  // Starts the work; then the owner runs the event loop until Done().
  void Start();
  bool Done() const { return done_; }
  // It left with e-mails still queued that it could not send (-o only).
  bool Failed() const { return failed_; }
  // An e-mail is under way (or waits to be tried again): stopping interrupts it.
  bool Busy() const { return current_ != nullptr; }
  // Ends the work at the next step (Ctrl-C): the connection closes, queue
  // files stay as they are.
  void Stop();

 private:
  // ServerCommunicatorEvents
  void ConnectedToServer(const std::string& strWord) override;
  void DisconnectedFromServer() override;
  void EmailReady(const std::string& strWord) override;
  void EmailIsTooLarge() override;
  void EmailFinished(double dblValue, std::int32_t lngValue) override;
  void StartAttachment(EmailAttachment& objAttachment) override;
  void AttachmentFinished(EmailAttachment& objAttachment) override;
  void ErrorOccured(const std::string& strMessage) override;
  void BytesTransferred(double dblBytes) override;

  // Takes the interrupted e-mail, else the oldest queue file, else idles.
  void Next();
  void QueueEmpty();
  void Connect();
  void Send();
  // The connection is over (once per connection, however it ended).
  void ConnectionLost(const std::string& why);
  void RetryLater();
  // The e-mail's file: rewritten with the progress so far, or moved away.
  void SaveProgress();
  // Files changed since their upload began lose their id: the server's part
  // of the old content must not be completed with the new.
  void StartChangedFilesAfresh();
  void GiveUp(const std::string& why);
  // Tells the files of the current e-mail that are gone; false when none is
  // left and the e-mail went to Failed.
  bool TellMissingFiles();
  void Log(const std::string& message);

  AgentOptions options_;
  terminal::ProgressDisplay& display_;
  std::unique_ptr<AgentMark> mark_;
  AgentQueue queue_;
  std::unique_ptr<TcpSocket> socket_;
  ServerCommunicator client_;
  CTimeout retry_;
  CTimeout watch_;
  std::unique_ptr<FolderWatch> queueWatch_;  // null where the system cannot watch
  bool idle_ = false;                         // waiting for a queue file
  std::int32_t retrySeconds_ = 1;

  enum class Link { Down, Connecting, LoggedIn };
  Link link_ = Link::Down;
  bool sending_ = false;  // SendEmail went out on this connection
  UploadAttempts attempts_{kMostFruitlessAttempts};
  std::string lastProblem_;

  std::shared_ptr<Email> current_;
  std::string currentPath_;
  // Files that could not be removed after their upload: never again.
  std::set<std::string> finished_;
  double fileBase_ = 0;  // bytes counted on this connection when the file began
  std::int64_t fileBytesBefore_ = 0;  // file bytes sent on this connection before this e-mail
  bool done_ = false;
  bool failed_ = false;
  // Logins refused in a row: the first is told with its fix, a second ends a -o run.
  int refusedLogins_ = 0;
};

}  // namespace dwl::agent
