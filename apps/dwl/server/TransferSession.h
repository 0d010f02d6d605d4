// One connection of the reference transfer server: reads commands, answers
// each with one reply in one write, and takes a file's bytes between the
// answer to NEWA or RESA and the client's silence after "FINA" CR LF (or at
// once, when the e-mail's files then hold the bytes it announced). Its own
// failures (a file or record it cannot write) are answered with 552, and so
// is what passes the server's limits (ServerOptions). It stops reading while
// its replies wait unsent beyond the limit or a refused login waits for its
// answer, and closes when nothing came for the idle time.
// Held by its server; pending handlers hold it too, so it lives until they ran.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "apps/dwl/server/AttachmentReceiver.h"
#include "apps/dwl/server/ServerStore.h"
#include "platform/PeriodicTimer.h"
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

  // Whom a file named by RESA belongs to, as far as the store tells.
  enum class Owner { ThisEmail, OtherEmail, Unknown };

  // Handles the lines already read, then reads on, unless Held.
  void Resume();
  bool Held() const;
  void StartRead();
  void HandleRead(const std::error_code& error, std::size_t bytes);
  void HandleLines();
  void HandleLine(const std::string& line);
  void HandleCommand(const protocol::Command& command);
  void RestartIdle();
  void TimedOut();
  void LogIn(const protocol::Command& command);
  void RefuseLogin();
  void StartEmail(const protocol::Command& command);
  void StartAttachment(const protocol::Command& command);
  Owner OwnerOf(const std::string& attachmentId) const;
  void ReceiveFile(const std::string& attachmentId, bool resumed);
  // The bytes the file may take: none for a file of an e-mail delivered
  // before, else what the largest e-mail leaves; nullopt: no limit.
  std::optional<std::uint64_t> FileRoom(bool resumed) const;
  void HandleFileBytes(std::string_view data);
  void HandleQuiet(const std::error_code& error);
  void FinishFile();
  void AddRecipient(const protocol::Command& command);
  void StartBody();
  void AddBodyLine(std::string_view text);
  void EndBody();
  void FinishEmail();
  // False when the record could not be written (reported).
  bool SaveEmail();
  // The same for the last recipient: appended when the record holds the rest.
  bool SaveRecipient();
  void Reply(const std::string& text);
  void StartWrite();
  void HandleWrite(const std::error_code& error);

  asio::ip::tcp::socket socket_;
  TransferServer& server_;
  int number_;
  bool stopped_ = false;
  bool closeAfterWrite_ = false;
  bool reading_ = false;  // a read in flight
  // Left uninitialised: an idle connection touches a page of it, not 64 KiB.
  std::array<char, 64 * 1024> readBuffer_;
  std::deque<std::string> replies_;  // waiting for the write in flight
  std::string writing_;              // the write in flight; empty when none
  std::size_t unsentBytes_ = 0;      // of replies_ and writing_
  LineFramer lines_;
  std::unique_ptr<PeriodicTimer> idle_;
  std::unique_ptr<PeriodicTimer> refusal_;  // a refused login's late answer
  bool refusalDue_ = false;
  int refusedLogins_ = 0;
  Mode mode_ = Mode::Commands;
  bool loggedIn_ = false;
  std::optional<StoredEmail> email_;
  // The e-mail under way was finished on an earlier connection whose last
  // reply the client never saw: answer it again, but change and deliver
  // nothing twice.
  bool finishedBefore_ = false;
  // What the e-mail under way holds besides its record; reset with it.
  struct EmailState {
    std::uint64_t fileBytes = 0;  // of its files, on disk
    double announcedBytes = -1;   // of its files, as NEWM or RESM said
    std::size_t recipientBytes = 0;
    std::size_t bodyBytes = 0;
    bool bodyTooLong = false;  // its lines are no longer kept
    bool recordSaved = false;  // the record on disk is email_ as it is
  } emailState_;
  // The file taking bytes.
  std::string attachmentId_;
  std::ofstream file_;
  AttachmentReceiver receiver_;
  std::optional<std::uint64_t> fileRoom_;  // the bytes it may still take; nullopt: any
  asio::steady_timer quiet_;
  std::uint64_t fileBytesReceived_ = 0;  // on this connection, for the test cut
};

}  // namespace dwl::server
