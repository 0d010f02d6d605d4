// The TCP client socket of the portable backend, on the loop's io_context.
// At most one write is in flight; sends made meanwhile wait in a queue and
// go out together in the next write, and OnSendComplete follows when the
// queue is empty. One read is always pending while connected.
#pragma once

#include <asio/io_context.hpp>

#include <memory>
#include <string>

#include "platform/CodePage.h"
#include "platform/TcpSocket.h"

namespace dwl::portable {

class PortableTcpSocket : public TcpSocket {
 public:
  PortableTcpSocket(asio::io_context& context, CodePage& codePage);
  ~PortableTcpSocket() override;
  PortableTcpSocket(const PortableTcpSocket&) = delete;
  PortableTcpSocket& operator=(const PortableTcpSocket&) = delete;

  void SetEvents(TcpSocketEvents* events) override { events_ = events; }
  void ResetLocalPort() override { Close(); }
  void Connect(const std::string& host, std::uint16_t port) override;
  void SendText(const std::string& text) override;
  void SendBytes(std::string bytes) override;
  std::string GetData() override;
  void Close() override;
  SocketState State() const override { return state_; }

 private:
  // One connection: its Asio socket and buffers. Pending handlers hold it,
  // so it outlives a Close; they find it detached and do nothing.
  struct Link;

  void HandleConnect(const std::shared_ptr<Link>& link, const std::error_code& error);
  void StartRead(const std::shared_ptr<Link>& link);
  void HandleRead(const std::shared_ptr<Link>& link, const std::error_code& error,
                  std::size_t bytes);
  void StartWrite(const std::shared_ptr<Link>& link);
  void HandleWrite(const std::shared_ptr<Link>& link, const std::error_code& error);
  void Fail(const std::error_code& error);
  void Detach();

  asio::io_context& context_;
  CodePage& codePage_;
  TcpSocketEvents* events_ = nullptr;
  std::shared_ptr<Link> link_;
  SocketState state_ = SocketState::Closed;
  std::string received_;
};

}  // namespace dwl::portable
