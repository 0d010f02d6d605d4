// The owner of a ServerCommunicator for one e-mail, as `dwl upload` runs it:
// connects, logs in, sends the e-mail and, after a lost connection, connects
// again a little later and sends the e-mail again, so that its files resume
// where the server stopped. Gives up after a number of attempts in a row
// that brought no progress. Reports to two streams: progress and problems to
// `err`, the result to `out`. Lives on the platform's event loop.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "transfer/ServerCommunicator.h"

namespace dwl::cli {

class EmailUploader : private ServerCommunicatorEvents {
 public:
  static constexpr std::int32_t kRetrySeconds = 2;

  EmailUploader(std::shared_ptr<Email> email, int attempts, std::ostream& out, std::ostream& err);
  ~EmailUploader() override;

  void Start();
  // The e-mail is complete and the connection ended, or the upload failed.
  bool Done() const;
  bool Succeeded() const { return finished_; }
  // Why the upload failed, on one line.
  const std::string& Failure() const { return failure_; }

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

  void TryAgainLater();
  void Fail(const std::string& why);

  std::shared_ptr<Email> email_;
  int attempts_;
  int attemptsLeft_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<TcpSocket> socket_;
  ServerCommunicator client_;
  CTimeout retry_;
  bool waitingToRetry_ = false;
  bool finished_ = false;
  bool failed_ = false;
  std::string failure_;
  std::string lastProblem_;
};

}  // namespace dwl::cli
