#include "platform/portable/WinsockError.h"

#include <asio/error.hpp>

#include <cerrno>

#include "platform/TcpSocket.h"

namespace dwl::portable {

int WinsockNumber(const std::error_code& error) {
  if (error.category() == asio::error::get_misc_category()) {
    // The peer ended the connection while we still expected data.
    return error.value() == asio::error::eof ? wsk::kConnectionReset : wsk::kNetworkDown;
  }
#ifdef _WIN32
  // Windows reports the Windows Sockets numbers themselves, a name not found
  // included (Asio's name-lookup categories are the system's there).
  const bool winsock = error.value() >= 10000 && error.value() < 12000;
  if (error.category() == asio::error::get_system_category() && winsock) return error.value();
  return wsk::kNetworkDown;
#else
  if (error.category() == asio::error::get_netdb_category() ||
      error.category() == asio::error::get_addrinfo_category()) {
    return wsk::kHostNotFound;
  }
  switch (error.value()) {
    case EINTR: return wsk::kInterrupted;
    case EACCES:
    case EPERM: return wsk::kAccessDenied;
    case EINVAL: return wsk::kInvalidArgument;
    case EMFILE:
    case ENFILE: return wsk::kTooManySockets;
    case EADDRINUSE: return wsk::kAddressInUse;
    case EADDRNOTAVAIL: return wsk::kAddressNotAvailable;
    case ENETDOWN: return wsk::kNetworkDown;
    case ENETUNREACH: return wsk::kNetworkUnreachable;
    case ECONNABORTED: return wsk::kConnectionAborted;
    // A write after the peer reset the connection.
    case EPIPE:
    case ECONNRESET: return wsk::kConnectionReset;
    case ENOBUFS:
    case ENOMEM: return wsk::kNoBufferSpace;
    case EISCONN: return wsk::kAlreadyConnected;
    case ENOTCONN: return wsk::kNotConnected;
    case ETIMEDOUT: return wsk::kTimedOut;
    case ECONNREFUSED: return wsk::kConnectionRefused;
    case EHOSTUNREACH:
    case EHOSTDOWN: return wsk::kHostUnreachable;
    default: return wsk::kNetworkDown;
  }
#endif
}

}  // namespace dwl::portable
