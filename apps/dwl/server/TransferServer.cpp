#include "apps/dwl/server/TransferServer.h"

#include <algorithm>

#include "apps/dwl/server/SteadyTimer.h"
#include "apps/dwl/server/TransferSession.h"
#include "platform/Error.h"

namespace dwl::server {

using asio::ip::tcp;
using namespace std::chrono_literals;

namespace {

// The waits after failed accepts in a row (out of descriptors, say): a failed
// accept fails again at once, and retrying at once would take a whole core.
constexpr std::chrono::milliseconds kFirstAcceptDelay = 100ms;
constexpr std::chrono::milliseconds kLongestAcceptDelay = 1s;

// Where to listen: an IP address or a host name; of a name's addresses the
// first IPv4 one, which clients given the same name reach as well.
tcp::endpoint ListeningEndpoint(asio::io_context& context, const std::string& address, std::uint16_t port) {
  std::error_code error;
  const asio::ip::address numeric = asio::ip::make_address(address, error);
  if (!error) return tcp::endpoint(numeric, port);
  tcp::resolver resolver(context);
  const tcp::resolver::results_type found =
      resolver.resolve(address, std::to_string(port), tcp::resolver::numeric_service, error);
  if (error || found.empty()) {
    throw Error(errc::kInvalidCall, "TransferServer",
                "Cannot find the address of " + address + (error ? ": " + error.message() : ""));
  }
  for (const auto& entry : found) {
    if (entry.endpoint().address().is_v4()) return entry.endpoint();
  }
  return found.begin()->endpoint();
}

}  // namespace

TransferServer::TransferServer(asio::io_context& context, ServerOptions options)
    : context_(context), options_(std::move(options)), store_(options_.store), acceptor_(context) {
  std::error_code error;
  const tcp::endpoint endpoint = ListeningEndpoint(context, options_.address, options_.port);
  acceptor_.open(endpoint.protocol(), error);
  if (!error) acceptor_.set_option(tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor_.bind(endpoint, error);
  if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    throw Error(errc::kPathFileAccess, "TransferServer",
                "Cannot listen on " + endpoint.address().to_string() + ":" + std::to_string(options_.port) + ": " +
                    error.message());
  }
  port_ = acceptor_.local_endpoint().port();
  acceptRetry_ = NewTimer([this] {
    acceptRetry_->Stop();
    StartAccept();
  });
  StartAccept();
}

TransferServer::~TransferServer() { Stop(); }

void TransferServer::Stop() {
  std::error_code ignored;
  acceptor_.close(ignored);
  acceptRetry_.reset();  // timers go before the loop that made them
  // Stop makes a session forget itself: work on a copy.
  const auto sessions = sessions_;
  for (const auto& [raw, session] : sessions) session->Stop();
  sessions_.clear();
}

std::unique_ptr<PeriodicTimer> TransferServer::NewTimer(std::function<void()> onTick) {
  if (options_.timers != nullptr) return options_.timers->NewTimer(std::move(onTick));
  return std::make_unique<SteadyTimer>(context_, std::move(onTick));
}

void TransferServer::StartAccept() {
  acceptor_.async_accept([this](const std::error_code& error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (error) {
      BackOff(error);
      return;
    }
    acceptDelay_ = 0ms;
    Accepted(std::move(socket));
    StartAccept();
  });
}

void TransferServer::Accepted(tcp::socket socket) {
  if (sessions_.size() >= options_.maxConnections) {
    // One line that never waits for the client, then the close.
    static const std::string kTooMany = "554 Too many connections, try again later\r\n";
    std::error_code ignored;
    socket.non_blocking(true, ignored);
    socket.write_some(asio::buffer(kTooMany), ignored);
    socket.close(ignored);
    Report("connection turned away: " + std::to_string(sessions_.size()) + " open");
    return;
  }
  // Each reply goes out at once: held back for the client's acknowledgement
  // of the one before (Nagle), a second reply to pipelined commands would
  // wait for the client's delayed acknowledgement, 40 ms and more.
  std::error_code ignored;
  socket.set_option(tcp::no_delay(true), ignored);
  auto session = std::make_shared<TransferSession>(std::move(socket), *this, ++connectionsSoFar_);
  sessions_[session.get()] = session;
  session->Start();
}

void TransferServer::BackOff(const std::error_code& error) {
  const std::chrono::milliseconds before = acceptDelay_;
  acceptDelay_ = before == 0ms ? kFirstAcceptDelay : std::min(before * 2, kLongestAcceptDelay);
  // A line when the wait grows, not one a second while it lasts.
  if (acceptDelay_ != before) {
    Report("cannot accept a connection (" + error.message() + "): trying again in " +
           std::to_string(acceptDelay_.count()) + " ms");
  }
  acceptRetry_->Start(acceptDelay_);
}

void TransferServer::Report(const std::string& line) {
  if (options_.report != nullptr) *options_.report << line << std::endl;
}

void TransferServer::Ended(TransferSession* session) { sessions_.erase(session); }

}  // namespace dwl::server
