#include "apps/dwl/server/TransferServer.h"

#include "apps/dwl/server/TransferSession.h"
#include "platform/Error.h"

namespace dwl::server {

using asio::ip::tcp;

TransferServer::TransferServer(asio::io_context& context, ServerOptions options)
    : context_(context), options_(std::move(options)), store_(options_.store), acceptor_(context) {
  std::error_code error;
  const asio::ip::address address = asio::ip::make_address(options_.address, error);
  if (error) {
    throw Error(errc::kInvalidCall, "TransferServer", "Not an IP address: " + options_.address);
  }
  const tcp::endpoint endpoint(address, options_.port);
  acceptor_.open(endpoint.protocol(), error);
  if (!error) acceptor_.set_option(tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor_.bind(endpoint, error);
  if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    throw Error(errc::kPathFileAccess, "TransferServer",
                "Cannot listen on " + options_.address + ":" + std::to_string(options_.port) + ": " +
                    error.message());
  }
  port_ = acceptor_.local_endpoint().port();
  StartAccept();
}

TransferServer::~TransferServer() { Stop(); }

void TransferServer::Stop() {
  std::error_code ignored;
  acceptor_.close(ignored);
  // Stop makes a session forget itself: work on a copy.
  const auto sessions = sessions_;
  for (const auto& [raw, session] : sessions) session->Stop();
  sessions_.clear();
}

void TransferServer::StartAccept() {
  acceptor_.async_accept([this](const std::error_code& error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!error) {
      auto session = std::make_shared<TransferSession>(std::move(socket), *this, ++connectionsSoFar_);
      sessions_[session.get()] = session;
      session->Start();
    }
    StartAccept();
  });
}

void TransferServer::Report(const std::string& line) {
  if (options_.report != nullptr) *options_.report << line << std::endl;
}

void TransferServer::Ended(TransferSession* session) { sessions_.erase(session); }

}  // namespace dwl::server
