// dwl server: the reference transfer server, for tests, demonstrations and
// trying the client.
#include <asio/signal_set.hpp>

#include <csignal>

#include "apps/dwl/CommandLine.h"
#include "apps/dwl/Subcommands.h"
#include "apps/dwl/server/TransferServer.h"
#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"

namespace dwl::cli {

namespace {

constexpr const char* kHelp =
    "usage: dwl server [--address ADDRESS] [--port N] [--store DIR]\n"
    "                  [--user NAME] [--password WORD] [--max-size BYTES]\n"
    "\n"
    "Runs a Dropwell transfer server until interrupted (Ctrl-C), for trying and\n"
    "testing the transfer client. It keeps every file it receives under its\n"
    "attachment id in DIR/files/, and each e-mail's subject, password, recipients\n"
    "and body in DIR/emails/, so an interrupted upload resumes later, also after\n"
    "a restart.\n"
    "\n"
    "  --address ADDRESS  where to listen (default 127.0.0.1: this machine only)\n"
    "  --port N           TCP port; 0 (the default) lets the system pick one\n"
    "  --store DIR        where to keep what arrives (default ./dwl-server-store)\n"
    "  --user NAME        the only user name that may log in (default: any)\n"
    "  --password WORD    the only password that may log in (default: any);\n"
    "                     other users of this machine can see it while it runs\n"
    "  --max-size BYTES   refuse e-mails announced with more bytes (default: none)\n"
    "\n"
    "On start it prints the address and port it listens on.\n";

int Usage(std::ostream& err, const std::string& problem) { return UsageError(err, "server", problem); }

}  // namespace

int RunServer(const Arguments& args, std::ostream& out, std::ostream& err) {
  server::ServerOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--help" || option == "-h") {
      out << kHelp;
      return 0;
    }
    if (i + 1 >= args.size()) return Usage(err, "'" + option + "' needs a value, or is unknown");
    const std::string& value = args[++i];
    if (option == "--address") {
      options.address = value;
    } else if (option == "--port") {
      if (!ParseNumber(value, options.port)) return Usage(err, "--port takes 0 to 65535, not '" + value + "'");
    } else if (option == "--store") {
      if (value.empty()) return Usage(err, "--store needs a folder");
      options.store = value;
    } else if (option == "--user") {
      options.user = value;
    } else if (option == "--password") {
      options.password = value;
    } else if (option == "--max-size") {
      std::uint64_t bytes = 0;
      if (!ParseNumber(value, bytes)) return Usage(err, "--max-size takes a number of bytes, not '" + value + "'");
      options.maxSize = static_cast<double>(bytes);
    } else {
      return Usage(err, "unknown option '" + option + "'");
    }
  }

  try {
    portable::PortableEventLoop loop(*ThePlatform().codePage);
    options.report = &out;
    server::TransferServer server(loop.Context(), options);
    asio::signal_set stop(loop.Context(), SIGINT, SIGTERM);
    stop.async_wait([&](const std::error_code& error, int) {
      if (!error) loop.Stop();
    });
    out << "dwl server: listening on " << options.address << ":" << server.Port() << ", store "
        << server.Store().Folder() << std::endl;
    loop.Run();
    server.Stop();
    out << "dwl server: stopped" << std::endl;
    return 0;
  } catch (const Error& failure) {
    err << "dwl server: " << failure.Description() << "\n";
    return 1;
  }
}

}  // namespace dwl::cli
