// dwl server: the reference transfer server, for tests, demonstrations and
// trying the client.
#include <asio/signal_set.hpp>

#include <csignal>
#include <limits>

#include "apps/dwl/Subcommands.h"
#include "apps/dwl/server/TransferServer.h"
#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"
#include "support/AppSettings.h"

namespace dwl::cli {

namespace {

constexpr const char* kDescription =
    "Runs a Dropwell transfer server until interrupted (Ctrl-C), for trying and\n"
    "testing the transfer client. It keeps every file it receives under its\n"
    "attachment id in DIR/files/, and each e-mail's subject, password, recipients\n"
    "and body in DIR/emails/, so an interrupted upload resumes later, also after\n"
    "a restart.";

void AddOptions(CLI::App& app, server::ServerOptions& options) {
  app.add_option("--address", options.address,
                 "where to listen: an IP address or a host name\n(default 127.0.0.1: this machine only)")
      ->type_name("ADDRESS");
  app.add_option("--port", options.port, "TCP port; 0 (the default) lets the system pick one")
      ->type_name("N")
      ->transform(WholeNumber(0, 65535));
  app.add_option("--store", options.store, "where to keep what arrives (default: server-store in\nthe user's Dropwell folder, which 'dwl config show' tells)")
      ->type_name("DIR")
      ->check(NotEmpty());
  CLI::Option* user =
      app.add_option("--user", options.user, "the only user name that may log in, with --password\n(default: any)")
          ->type_name("NAME");
  CLI::Option* password = app.add_option("--password", options.password,
                                         "the only password that may log in (default: any);\n"
                                         "other users of this machine can see it while it runs")
                              ->type_name("WORD");
  // A user without a password would let anyone in under that name.
  user->needs(password);
  app.add_option("--max-size", options.maxSize, "refuse e-mails announced with more bytes (default: none)")
      ->type_name("BYTES")
      ->transform(WholeNumber(std::uint64_t{0}, std::numeric_limits<std::uint64_t>::max()));
  app.add_option_function<std::uint32_t>(
         "--idle-timeout", [&options](std::uint32_t seconds) { options.idleTimeout = std::chrono::seconds(seconds); },
         "close a connection that sent nothing for this long (default 120; 0: never)")
      ->type_name("SECONDS")
      ->transform(WholeNumber(std::uint32_t{0}, std::uint32_t{86400}));
  app.add_option("--max-connections", options.maxConnections, "serve at most N connections at once (default 256)")
      ->type_name("N")
      ->transform(WholeNumber(std::size_t{1}, std::size_t{100000}));
}

}  // namespace

int RunServer(const Arguments& args, std::ostream& out, std::ostream& err) {
  CLI::App app(kDescription, "dwl server");
  app.footer("On start it prints the address and port it listens on.");
  server::ServerOptions options;
  options.store.clear();
  AddOptions(app, options);
  if (const std::optional<int> done = Parse(app, args, out, err)) return *done;

  try {
    // Not the current folder: wherever the server was started would fill up.
    if (options.store.empty()) {
      const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
      settings->RefreshSettings();
      options.store = settings->getApplicationDirectory() + "server-store";
    }
    portable::PortableEventLoop loop(*ThePlatform().codePage);
    options.report = &out;
    server::TransferServer server(loop.Context(), options);
    asio::signal_set stop(loop.Context(), SIGINT, SIGTERM);
    stop.async_wait([&](const std::error_code& error, int) {
      if (!error) loop.Stop();
    });
    out << "dwl server: listening on " << server.Address() << ":" << server.Port() << ", store "
        << server.Store().Folder() << std::endl;
    loop.Run();
    server.Stop();
    out << "dwl server: stopped" << std::endl;
    return 0;
  } catch (const Error& failure) {
    return Fail(err, "dwl server", failure.Description());
  }
}

}  // namespace dwl::cli
