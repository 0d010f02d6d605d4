#include "platform/portable/PortableTcpSocket.h"

#include <asio/connect.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>

#include <array>
#include <vector>

#include "platform/Error.h"
#include "platform/portable/WinsockError.h"

namespace dwl::portable {

struct PortableTcpSocket::Link {
  explicit Link(asio::io_context& context) : socket(context), resolver(context) {}

  asio::ip::tcp::socket socket;
  asio::ip::tcp::resolver resolver;
  std::vector<std::string> queued;    // sent since the write in flight began
  std::vector<std::string> inFlight;  // the write in flight; empty when none
  std::array<char, 64 * 1024> readBuffer{};
  bool attached = true;  // false once the socket let go of this connection
};

PortableTcpSocket::PortableTcpSocket(asio::io_context& context, CodePage& codePage)
    : context_(context), codePage_(codePage) {}

PortableTcpSocket::~PortableTcpSocket() { Detach(); }

void PortableTcpSocket::Connect(const std::string& host, std::uint16_t port) {
  if (state_ != SocketState::Closed) {
    throw Error(wsk::kAlreadyConnected, "TcpSocket.Connect",
                "The socket must be closed before it connects");
  }
  auto link = std::make_shared<Link>(context_);
  link_ = link;
  std::error_code notNumeric;
  const asio::ip::address address = asio::ip::make_address(host, notNumeric);
  if (!notNumeric) {
    state_ = SocketState::Connecting;
    link->socket.async_connect(asio::ip::tcp::endpoint(address, port),
                               [this, link](const std::error_code& error) {
                                 if (link->attached) HandleConnect(link, error);
                               });
    return;
  }
  state_ = SocketState::ResolvingHost;
  link->resolver.async_resolve(
      host, std::to_string(port),
      [this, link](const std::error_code& error, asio::ip::tcp::resolver::results_type found) {
        if (!link->attached) return;
        if (error) {
          Fail(error);
          return;
        }
        state_ = SocketState::Connecting;
        asio::async_connect(link->socket, found,
                            [this, link](const std::error_code& failure, const auto&) {
                              if (link->attached) HandleConnect(link, failure);
                            });
      });
}

void PortableTcpSocket::HandleConnect(const std::shared_ptr<Link>& link,
                                      const std::error_code& error) {
  if (error) {
    Fail(error);
    return;
  }
  state_ = SocketState::Connected;
  // A command, or the end marker after a file, goes out at once rather than
  // waiting for the acknowledgement of what went before (Nagle).
  std::error_code ignored;
  link->socket.set_option(asio::ip::tcp::no_delay(true), ignored);
  StartRead(link);
}

void PortableTcpSocket::StartRead(const std::shared_ptr<Link>& link) {
  link->socket.async_read_some(
      asio::buffer(link->readBuffer),
      [this, link](const std::error_code& error, std::size_t bytes) {
        if (link->attached) HandleRead(link, error, bytes);
      });
}

void PortableTcpSocket::HandleRead(const std::shared_ptr<Link>& link,
                                   const std::error_code& error, std::size_t bytes) {
  if (error == asio::error::eof) {
    if (state_ != SocketState::Connected) return;
    state_ = SocketState::Closing;
    if (events_ != nullptr) events_->OnClose();
    return;
  }
  if (error) {
    Fail(error);
    return;
  }
  received_.append(link->readBuffer.data(), bytes);
  if (events_ != nullptr) events_->OnDataArrival(bytes);
  // The handler may have closed the socket or started a new connection.
  if (link->attached) StartRead(link);
}

void PortableTcpSocket::SendText(const std::string& text) { SendBytes(codePage_.ToAnsi(text)); }

void PortableTcpSocket::SendBytes(std::string bytes) {
  if (state_ != SocketState::Connected) {
    throw Error(wsk::kNotConnected, "TcpSocket.SendData", "The socket is not connected");
  }
  link_->queued.push_back(std::move(bytes));
  if (link_->inFlight.empty()) StartWrite(link_);
}

void PortableTcpSocket::StartWrite(const std::shared_ptr<Link>& link) {
  // The strings stay where they are while the vectors swap, so the buffers
  // below stay valid until the write completes.
  link->inFlight.swap(link->queued);
  std::vector<asio::const_buffer> buffers;
  buffers.reserve(link->inFlight.size());
  for (const std::string& bytes : link->inFlight) buffers.push_back(asio::buffer(bytes));
  asio::async_write(link->socket, buffers,
                    [this, link](const std::error_code& error, std::size_t) {
                      if (link->attached) HandleWrite(link, error);
                    });
}

void PortableTcpSocket::HandleWrite(const std::shared_ptr<Link>& link,
                                    const std::error_code& error) {
  link->inFlight.clear();
  if (error) {
    Fail(error);
    return;
  }
  if (!link->queued.empty()) {
    StartWrite(link);
  } else if (events_ != nullptr) {
    events_->OnSendComplete();
  }
}

std::string PortableTcpSocket::GetData() {
  std::string text = codePage_.FromAnsi(received_);
  received_.clear();
  return text;
}

void PortableTcpSocket::Close() {
  Detach();
  state_ = SocketState::Closed;
  received_.clear();
}

void PortableTcpSocket::Fail(const std::error_code& error) {
  if (error == asio::error::operation_aborted || state_ == SocketState::Error) return;
  state_ = SocketState::Error;
  if (events_ != nullptr) events_->OnError(WinsockNumber(error), error.message());
}

void PortableTcpSocket::Detach() {
  if (!link_) return;
  link_->attached = false;
  std::error_code ignored;
  link_->resolver.cancel();
  link_->socket.close(ignored);
  link_.reset();
}

}  // namespace dwl::portable
