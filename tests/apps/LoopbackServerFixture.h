// Tests of the transfer client together with the reference server over
// loopback: the client's settings and the server's options share one account
// (alice, secret), and the server keeps its store in the sandbox.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "apps/dwl/server/TransferServer.h"
#include "mail/Email.h"
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

  // Starts the server on `context` (the test platform's loop by default) and
  // points the client at it.
  void StartServer(asio::io_context& context) {
    server.emplace(context, options);
    settings->setRemoteServer("127.0.0.1", server->Port());
  }
  void StartServer() { StartServer(platform.eventLoop.Context()); }

  // E-mail `id` with a file "<id>-<n>.bin" in the sandbox for each of `contents`.
  std::shared_ptr<Email> EmailWith(const std::string& id, const std::vector<std::string>& contents) {
    auto email = std::make_shared<Email>();
    email->set_ID(id);
    for (std::size_t n = 0; n < contents.size(); ++n) {
      email->AddAttachment(AttachedFile(platform.Path(id + "-" + std::to_string(n) + ".bin"), contents[n]));
    }
    return email;
  }
  // Bytes that differ from stream to stream, so that a file resumed at the
  // wrong place or mixed with another does not match.
  static std::string RandomBytes(std::size_t size, unsigned stream) {
    std::mt19937 generator(stream);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
  }

  // The bytes the server stored of `attachment`.
  std::string Stored(const std::shared_ptr<EmailAttachment>& attachment) {
    return ReadBytes(server->Store().AttachmentPath(attachment->get_ID()));
  }
  // The one-line values under `tag` in the server's record of e-mail `id`.
  std::vector<std::string> Recorded(const std::string& id, const std::string& tag) {
    const std::vector<std::string> lines = ReadCrLfLines(server->Store().EmailPath(id));
    std::vector<std::string> values;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      if (lines[i] == "<" + tag + ">") values.push_back(lines[i + 1]);
    }
    return values;
  }

  TestPlatform platform;
  std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  server::ServerOptions options;
  std::optional<server::TransferServer> server;
};

}  // namespace dwl::testing
