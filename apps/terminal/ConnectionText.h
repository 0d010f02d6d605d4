// What the programs say when the connection to the transfer server fails or
// the server refuses the account: which server, what happened, what to do.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Error.h"
#include "transfer/ServerCommunicator.h"

namespace dwl::terminal {

// "host not found: NAME", "cannot connect to HOST:PORT: connection refused"
// (before a connection stood), "connection to HOST:PORT lost: reset by the
// server" (after); `failure` carries a Windows Sockets number.
std::string ConnectionProblem(const std::string& host, std::uint16_t port, const Error& failure, bool connected);
// "login refused for 'USER' at HOST:PORT: set the account with 'dwl config set-account'".
std::string LoginRefused(const std::string& user, const std::string& host, std::uint16_t port);
// The words for what `client` told its owner in `message`: a refused login,
// a failed connection (with the server of the settings), else the message
// itself on one line.
std::string ClientProblem(const ServerCommunicator& client, const std::string& message, bool loginRefused,
                          bool loggedIn);

}  // namespace dwl::terminal
