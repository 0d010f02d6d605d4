// One connection of the reference transfer server: reads commands, answers
// each with one reply in one write, and takes a file's bytes between the
// answer to NEWA or RESA and the client's silence after "FINA" CR LF. Its own
// failures (a file or record it cannot write) are answered with 552.
// Held by its server; pending handlers hold it too, so it lives until they ran.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <array>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/dwl/server/AttachmentReceiver.h"
#include "apps/dwl/server/ServerStore.h"
#include "transfer/LineFramer.h"
#include "transfer/TransferProtocol.h"

namespace dwl::server {

class TransferServer;

class TransferSession : public std::enable_shared_from_this<TransferSession> {
 public:
  TransferSession(asio::ip::tcp::socket socket, TransferServer& server, int number);
  TransferSession(const TransferSession&) = delete;
  TransferSession& operator=(const TransferSession&) = delete;

  // Greets the client and starts reading.
  void Start();
  // Closes the connection; the server forgets the session.
  void Stop();

 private:
  enum class Mode { Commands, FileBytes, Body };

  void StartRead();
  void HandleRead(const std::error_code& error, std::size_t bytes);
  void HandleLine(const std::string& line);
  void HandleCommand(const protocol::Command& command);
  void LogIn(const protocol::Command& command);
  void StartEmail(const protocol::Command& command);
  void StartAttachment(const protocol::Command& command);
  void ReceiveFile(const std::string& attachmentId, bool resumed);
  void HandleFileBytes(std::string_view data);
  void HandleQuiet(const std::error_code& error);
  void FinishFile();
  void FinishEmail();
  // False when the record could not be written (reported).
  bool SaveEmail();
  void Reply(const std::string& text);
  void StartWrite();
  void HandleWrite(const std::error_code& error);

  asio::ip::tcp::socket socket_;
  TransferServer& server_;
  int number_;
  bool stopped_ = false;
  bool closeAfterWrite_ = false;
  std::array<char, 64 * 1024> readBuffer_{};
  std::vector<std::string> replies_;  // waiting for the write in flight
  std::string writing_;               // the write in flight; empty when none
  LineFramer lines_;
  Mode mode_ = Mode::Commands;
  bool loggedIn_ = false;
  std::optional<StoredEmail> email_;
  // The e-mail under way was finished on an earlier connection whose last
  // reply the client never saw: answer it again, but change and deliver
  // nothing twice.
  bool finishedBefore_ = false;
  // The file taking bytes.
  std::string attachmentId_;
  std::ofstream file_;
  AttachmentReceiver receiver_;
  asio::steady_timer quiet_;
  std::uint64_t fileBytesReceived_ = 0;  // on this connection, for the test cut
};

}  // namespace dwl::server
