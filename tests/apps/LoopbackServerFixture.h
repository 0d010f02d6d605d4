// Tests of the transfer client together with the reference server over
// loopback: the client's settings and the server's options share one account
// (alice, secret), and the server keeps its store in the sandbox.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "apps/dwl/server/TransferServer.h"
#include "support/AppSettings.h"
#include "tests/TestPlatform.h"

namespace dwl::testing {

class LoopbackServerFixture : public ::testing::Test {
 protected:
  LoopbackServerFixture() {
    settings->RefreshSettings();
    settings->setUsername("alice");
    settings->setPassword("secret");
    options.store = platform.Path("store");
    options.user = "alice";
    options.password = "secret";
    options.keepTranscript = true;
  }

  // Starts the server on `context` and points the client at it.
  void StartServer(asio::io_context& context) {
    server.emplace(context, options);
    settings->setRemoteServer("127.0.0.1", server->Port());
  }

  TestPlatform platform;
  std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  server::ServerOptions options;
  std::optional<server::TransferServer> server;
};

}  // namespace dwl::testing
