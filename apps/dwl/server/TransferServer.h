// The reference transfer server: a small server of the transfer protocol for
// tests, demonstrations and trying the client. It listens on one address
// (loopback unless told otherwise), serves any number of connections at once
// on the caller's io_context, and keeps what it receives in a ServerStore.
// Single-threaded: everything runs in the io_context's handlers.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>
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

namespace dwl::server {

class TransferSession;

struct ServerOptions {
  std::string address = "127.0.0.1";
  std::uint16_t port = 0;  // 0: the system picks one
  std::string store = "dwl-server-store";
  // Empty: any user name and password may log in.
  std::string user;
  std::string password;
  // E-mails announced with more bytes than this are refused.
  std::optional<double> maxSize;
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
  const ServerOptions& Options() const { return options_; }
  ServerStore& Store() { return store_; }
  // Stops listening and closes every connection.
  void Stop();

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
};

}  // namespace dwl::server
