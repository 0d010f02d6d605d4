// A TCP client socket of the owner's event loop, with the operations and
// events of the Winsock control that the transfer client was written for.
// Nothing blocks: Connect and the sends return at once, and the outcome
// arrives later as an event on the loop's thread, never from inside the call
// that caused it. Failures carry Windows Sockets numbers (kConnectionAborted
// and its neighbours below) on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dwl {

// Windows Sockets error numbers that the system tells apart.
namespace wsk {
inline constexpr int kInterrupted = 10004;
inline constexpr int kAccessDenied = 10013;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kTooManySockets = 10024;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kConnectionAborted = 10053;  // ended on our side
inline constexpr int kConnectionReset = 10054;    // reset by the peer
inline constexpr int kNoBufferSpace = 10055;
inline constexpr int kAlreadyConnected = 10056;
inline constexpr int kNotConnected = 10057;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
}  // namespace wsk

// The socket's state; the numbers are those of the Winsock control.
enum class SocketState : int {
  Closed = 0,
  ResolvingHost = 4,
  Connecting = 6,
  Connected = 7,
  Closing = 8,  // the peer closed the connection
  Error = 9,
};

// What the socket tells its owner. Every call arrives on the loop's thread.
class TcpSocketEvents {
 public:
  virtual ~TcpSocketEvents() = default;
  // Data came in; GetData takes it.
  virtual void OnDataArrival(std::size_t bytesTotal) = 0;
  // Everything sent so far has been handed to the operating system. Several
  // sends made in one go complete together, with one event.
  virtual void OnSendComplete() = 0;
  // The peer closed the connection.
  virtual void OnClose() = 0;
  // The connection failed; `number` is a Windows Sockets number.
  virtual void OnError(int number, const std::string& description) = 0;
};

class TcpSocket {
 public:
  virtual ~TcpSocket() = default;

  // Who receives the events; nullptr stops them. The receiver must stay
  // alive while it is bound.
  virtual void SetEvents(TcpSocketEvents* events) = 0;
  // Makes the next Connect a fresh connection from a port the system picks;
  // closes the current one, if any.
  virtual void ResetLocalPort() = 0;
  // Starts connecting; a refusal or an unknown host arrives as OnError.
  // Throws dwl::Error (kAlreadyConnected) unless the socket is closed.
  virtual void Connect(const std::string& host, std::uint16_t port) = 0;
  // Queues `text` as 8-bit text in the system's code page. Sends leave in the
  // order of the calls. Throws dwl::Error (kNotConnected) unless connected.
  virtual void SendText(const std::string& text) = 0;
  // Queues the bytes as they are; otherwise like SendText.
  virtual void SendBytes(std::string bytes) = 0;
  // Everything received since the last call, as text.
  virtual std::string GetData() = 0;
  // Closes the connection at once; queued data that has not reached the
  // system is dropped. No events follow. Closing a closed socket does nothing.
  virtual void Close() = 0;
  virtual SocketState State() const = 0;
};

}  // namespace dwl
