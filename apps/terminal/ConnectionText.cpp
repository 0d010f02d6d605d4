#include "apps/terminal/ConnectionText.h"

#include "platform/TcpSocket.h"
#include "support/AppSettings.h"
#include "support/ApplicationLog.h"
#include "support/LineBreaks.h"

namespace dwl::terminal {

namespace {

// Names come from the settings or the command line; clean them anyway.
std::string Where(const std::string& host, std::uint16_t port) {
  return Printable(host, 200) + ":" + std::to_string(port);
}

std::string What(const Error& failure) {
  switch (failure.Number()) {
    case wsk::kConnectionRefused: return "connection refused";
    case wsk::kTimedOut: return "no answer (timed out)";
    case wsk::kNetworkUnreachable: return "network unreachable";
    case wsk::kHostUnreachable: return "host unreachable";
    case wsk::kNetworkDown: return "network down";
    case wsk::kConnectionReset: return "reset by the server";
    case wsk::kConnectionAborted: return "ended on this side";
    default: return Printable(failure.Description(), 200) + " (" + std::to_string(failure.Number()) + ")";
  }
}

}  // namespace

std::string ConnectionProblem(const std::string& host, std::uint16_t port, const Error& failure, bool connected) {
  if (failure.Number() == wsk::kHostNotFound) return "host not found: " + Printable(host, 200);
  return (connected ? "connection to " + Where(host, port) + " lost: " : "cannot connect to " + Where(host, port) + ": ") +
         What(failure);
}

std::string LoginRefused(const std::string& user, const std::string& host, std::uint16_t port) {
  return "login refused for '" + Printable(user, 100) + "' at " + Where(host, port) +
         ": set the account with 'dwl config set-account'";
}

std::string ClientProblem(const ServerCommunicator& client, const std::string& message, bool loginRefused,
                          bool loggedIn) {
  const auto settings = AppSettings::Instance();
  const std::string host = settings->getRemoteServerAddress();
  // The settings keep the port in 16 bits; ports above 32767 come back whole.
  const auto port = static_cast<std::uint16_t>(settings->getRemoteServerPort());
  if (loginRefused) return LoginRefused(settings->getUsername(), host, port);
  if (const std::optional<Error>& failure = client.LastSocketError()) {
    return ConnectionProblem(host, port, *failure, loggedIn);
  }
  return OneLine(message);
}

}  // namespace dwl::terminal
