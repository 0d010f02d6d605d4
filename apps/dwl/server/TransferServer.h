// The reference transfer server: a small server of the transfer protocol for
// tests, demonstrations and trying the client. It listens on one address
// (loopback unless told otherwise), serves up to ServerOptions::maxConnections
// connections at once on the caller's io_context, and keeps what it receives
// in a ServerStore. What one connection may cost is bounded (see
// ServerOptions), so it may be left running where hostile clients reach it.
// Single-threaded: everything runs in the io_context's handlers.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "apps/dwl/server/ServerStore.h"
#include "platform/EventLoop.h"

namespace dwl::server {

class TransferSession;

// What one e-mail may hold: far more than real mail needs, little enough that
// a connection cannot take the server's memory. Beyond, a 552 reply.
struct EmailLimits {
  std::size_t recipients = 10000;
  std::size_t recipientBytes = 1024 * 1024;  // the recipients' text together
  std::size_t bodyLines = 100000;
  std::size_t bodyBytes = 1024 * 1024;  // the body lines' text together
};

struct ServerOptions {
  std::string address = "127.0.0.1";  // or a host name
  std::uint16_t port = 0;  // 0: the system picks one
  std::string store = "dwl-server-store";  // `dwl server` gives its own default
  // Empty: any user name and password may log in.
  std::string user;
  std::string password;
  // E-mails announced with more bytes than this are refused, and a file that
  // takes its e-mail's bytes on disk beyond it is cut there.
  std::optional<double> maxSize;
  // A connection that sent no byte for this long is closed; zero: never.
  std::chrono::milliseconds idleTimeout{std::chrono::seconds(120)};
  // Connections beyond this many at once get one 554 line and are closed.
  std::size_t maxConnections = 256;
  // A connection whose replies wait unsent beyond this many bytes (its client
  // does not read them) is not read from until they drain.
  std::size_t maxUnsentReplies = 256 * 1024;
  EmailLimits emailLimits;
  // A refused login is answered this late, and the connection closes after
  // the last refusal allowed.
  std::chrono::milliseconds refusedLoginDelay{1000};
  int maxRefusedLogins = 3;
  // The loop whose timers time idle connections, refused logins and the wait
  // after a failed accept; null: the steady clock. Tests pass theirs to move
  // time by hand.
  EventLoop* timers = nullptr;
  // How long the client stays silent after "FINA" CR LF before the file counts as whole.
  std::chrono::milliseconds quietTime{200};
  // For tests: the first connection on which this many file bytes arrived
  // is cut, as a broken network would.
  std::optional<std::uint64_t> cutOnceAfterFileBytes;
  // For tests, a hostile server: asked with each command word and the
  // connection's number (from 1) before the command is handled. An answer
  // replaces the handling: its text goes out as the reply, or nothing at all
  // for "" (a server that falls silent); nullopt lets the server handle it.
  std::function<std::optional<std::string>(const std::string& word, int connection)> script;
  // For tests: keep the transcript of command words (it grows with every command).
  bool keepTranscript = false;
  // Where a line per connection and per finished e-mail goes; may be null.
  std::ostream* report = nullptr;
};

class TransferServer {
 public:
  // Binds and listens at once; throws dwl::Error when it cannot.
  TransferServer(asio::io_context& context, ServerOptions options);
  ~TransferServer();
  TransferServer(const TransferServer&) = delete;
  TransferServer& operator=(const TransferServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // The address it listens on, as numbers.
  std::string Address() const { return acceptor_.local_endpoint().address().to_string(); }
  const ServerOptions& Options() const { return options_; }
  ServerStore& Store() { return store_; }
  // Stops listening and closes every connection.
  void Stop();
  // A stopped timer on the server's clock (see ServerOptions::timers).
  std::unique_ptr<PeriodicTimer> NewTimer(std::function<void()> onTick);

  // With keepTranscript: the command words received, over all connections
  // in the order they came, with "FINA" where a file ended.
  const std::vector<std::string>& Transcript() const { return transcript_; }
  std::size_t Connections() const { return sessions_.size(); }
  // Whether a connection that received `fileBytes` is to be cut now.
  bool CutDue(std::uint64_t fileBytes) {
    if (cutDone_ || !options_.cutOnceAfterFileBytes || fileBytes < *options_.cutOnceAfterFileBytes) return false;
    cutDone_ = true;
    return true;
  }

 private:
  friend class TransferSession;
  void StartAccept();
  void Accepted(asio::ip::tcp::socket socket);
  // Waits before the next accept, longer after each failure in a row.
  void BackOff(const std::error_code& error);
  void Record(const std::string& word) {
    if (options_.keepTranscript) transcript_.push_back(word);
  }
  void Report(const std::string& line);
  void Ended(TransferSession* session);
  // An attachment may take bytes from one connection at a time.
  bool Claim(const std::string& attachmentId) { return busy_.insert(attachmentId).second; }
  // Files made for an e-mail: a connection cut before the client learnt a
  // new file's id leaves one that no attempt will ever fill.
  void NoteCreated(const std::string& emailId, const std::string& attachmentId) {
    created_[emailId].insert(attachmentId);
  }
  std::set<std::string> TakeCreated(const std::string& emailId) {
    std::set<std::string> ids = std::move(created_[emailId]);
    created_.erase(emailId);
    return ids;
  }
  bool Busy(const std::string& attachmentId) const { return busy_.count(attachmentId) != 0; }
  void Release(const std::string& attachmentId) { busy_.erase(attachmentId); }

  asio::io_context& context_;
  ServerOptions options_;
  ServerStore store_;
  asio::ip::tcp::acceptor acceptor_;
  std::uint16_t port_ = 0;
  std::map<TransferSession*, std::shared_ptr<TransferSession>> sessions_;
  std::set<std::string> busy_;
  std::map<std::string, std::set<std::string>> created_;
  std::vector<std::string> transcript_;
  int connectionsSoFar_ = 0;
  bool cutDone_ = false;
  std::unique_ptr<PeriodicTimer> acceptRetry_;
  std::chrono::milliseconds acceptDelay_{0};  // zero: the last accept worked
};

}  // namespace dwl::server
