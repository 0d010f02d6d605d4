// The owner of a ServerCommunicator for one e-mail, as `dwl upload` runs it:
// connects, logs in, sends the e-mail and, after a lost connection, connects
// again a little later and sends the e-mail again, so that its files resume
// where the server stopped (a file changed since its upload began is sent
// afresh). Gives up after a number of connections in a row that brought no
// progress (UploadAttempts), and at once when the login is refused or the
// e-mail is too large. Progress, and the problem of each attempt it makes
// again, go to the display, the result to `out`; why it gave up is the
// owner's to tell (Failure), once. Lives on the platform's event loop.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "apps/terminal/ProgressDisplay.h"
#include "transfer/ServerCommunicator.h"
#include "transfer/UploadAttempts.h"

namespace dwl::cli {

class EmailUploader : private ServerCommunicatorEvents {
 public:
  static constexpr std::int32_t kRetrySeconds = 2;
  // The failure of an e-mail larger than the server takes.
  static constexpr const char* kTooLarge = "the server refuses an e-mail of this size";

  EmailUploader(std::shared_ptr<Email> email, int attempts, std::ostream& out, terminal::ProgressDisplay& display);
  ~EmailUploader() override;

  void Start();
  // The e-mail is complete and QUIT handed to the system (or the connection
  // ended), or the upload failed. Closing the socket then loses nothing.
  bool Done() const;
  bool Succeeded() const { return finished_; }
  // Why the upload failed, on one line.
  const std::string& Failure() const { return failure_; }
  // Whether the server may hold part of the e-mail: an interrupted or failed
  // run then leaves something to resume.
  bool ServerHoldsSome() const;
  // Stops at once (Ctrl-C); where the file under way stood, if one was.
  std::optional<std::string> Interrupt();

 private:
  void ConnectedToServer(const std::string& strWord) override;
  void DisconnectedFromServer() override;
  void EmailReady(const std::string& strWord) override;
  void EmailIsTooLarge() override;
  void EmailFinished(double dblValue, std::int32_t lngValue) override;
  void StartAttachment(EmailAttachment& objAttachment) override;
  void AttachmentFinished(EmailAttachment& objAttachment) override;
  void ErrorOccured(const std::string& strMessage) override;
  void BytesTransferred(double dblBytes) override;

  void Connect();
  // The connection is over (once per connection, however it ended): try
  // again later, or give up.
  void ConnectionOver();
  void Fail(const std::string& why);

  std::shared_ptr<Email> email_;
  UploadAttempts attempts_;
  std::ostream& out_;
  terminal::ProgressDisplay& display_;
  std::unique_ptr<TcpSocket> socket_;
  ServerCommunicator client_;
  CTimeout retry_;
  bool connectionOpen_ = false;  // since Connect, until ConnectionOver
  bool loggedIn_ = false;        // on this connection
  double fileBase_ = 0;          // the progress figure when the file under way began
  bool finished_ = false;
  bool failed_ = false;
  std::string failure_;
  std::string lastProblem_;
};

}  // namespace dwl::cli
