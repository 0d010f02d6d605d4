// Turns a socket failure of the system into the Windows Sockets number that
// the core knows (platform/TcpSocket.h), so that log lines and messages read
// the same on every platform.
#pragma once

#include <system_error>

namespace dwl::portable {

int WinsockNumber(const std::error_code& error);

}  // namespace dwl::portable
