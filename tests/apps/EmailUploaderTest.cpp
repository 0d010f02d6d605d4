// dwl upload's owner of the transfer client, against the reference server, in real time.
#include "apps/dwl/EmailUploader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/apps/LoopbackServerFixture.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

class EmailUploaderTest : public testing::LoopbackServerFixture {
 protected:
  EmailUploaderTest() {
    Platform services = platform.services;
    services.eventLoop = &loop;
    realTime.emplace(services);
  }
  ~EmailUploaderTest() override { server.reset(); }  // before its loop

  void StartServer() { LoopbackServerFixture::StartServer(loop.Context()); }

  bool Run(cli::EmailUploader& uploader) {
    uploader.Start();
    return loop.RunUntil([&] { return uploader.Done(); }, 30s);
  }

  portable::PortableEventLoop loop{platform.codePage};
  std::optional<ScopedPlatform> realTime;
  std::ostringstream out;
  std::ostringstream err;
  terminal::ProgressDisplay display{err, false};
};

TEST_F(EmailUploaderTest, ConnectsAgainAfterACutAndFinishes) {
  // The cut comes within a second, before any progress tick, yet the server
  // holds a mebibyte more: the one attempt without progress allowed is left.
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  const std::string bytes = RandomBytes(2 * 1048576, 1);
  auto email = EmailWith("E-1", {bytes});
  cli::EmailUploader uploader(email, 1, out, display);
  ASSERT_TRUE(Run(uploader)) << err.str();
  EXPECT_TRUE(uploader.Succeeded()) << uploader.Failure() << "\n" << err.str();
  EXPECT_NE(err.str().find("connecting again (1 of 1)"), std::string::npos) << err.str();
  // The upload ends once QUIT is on its way; the server takes it a moment later.
  loop.RunUntil([&] { return server->Transcript().back() == "QUIT"; }, 30s);
  // The e-mail the server took on the first connection is resumed on the second.
  EXPECT_EQ(server->Transcript(), (std::vector<std::string>{"HELO", "LOGN", "NEWM", "NEWA", "HELO", "LOGN",
                                                            "RESM", "RESA", "FINA", "SUBJ", "FINM", "QUIT"}));
  EXPECT_TRUE(Stored(email->get_attachments()[0]) == bytes);
}

TEST_F(EmailUploaderTest, AnEmailWhoseFinishIsAlwaysRefusedIsGivenUpAfterItsAttempts) {
  // After the first connection the file is whole on the server: resuming it
  // sends nothing new, and each finish is refused.
  options.script = [](const std::string& word, int) -> std::optional<std::string> {
    if (word == "FINM") return "554 Refused";
    return std::nullopt;
  };
  StartServer();
  cli::EmailUploader uploader(EmailWith("E-1", {std::string(5000, 'w')}), 3, out, display);
  ASSERT_TRUE(Run(uploader)) << err.str();
  EXPECT_FALSE(uploader.Succeeded());
  EXPECT_NE(uploader.Failure().find("554 Refused"), std::string::npos) << uploader.Failure();
  const auto& words = server->Transcript();
  EXPECT_EQ(std::count(words.begin(), words.end(), "FINM"), 4) << "one with progress, three without";
  EXPECT_EQ(std::count(words.begin(), words.end(), "RESA"), 3);
  EXPECT_NE(err.str().find("connecting again (3 of 3)"), std::string::npos) << err.str();
}

// A refused login fails at once: tests/apps/dwl_server_test.sh.
TEST_F(EmailUploaderTest, NoServerFailsAfterTheAttempts) {
  StartServer();
  const std::uint16_t port = server->Port();
  server.reset();  // its port refuses connections now
  cli::EmailUploader unanswered(EmailWith("E-1", {"x"}), 2, out, display);
  ASSERT_TRUE(Run(unanswered));
  EXPECT_FALSE(unanswered.Succeeded());
  // Each attempt's problem is told once with the server it tried; the last is the caller's to tell.
  const std::string problem = "cannot connect to 127.0.0.1:" + std::to_string(port) + ": connection refused";
  EXPECT_EQ(unanswered.Failure(), problem + " (2 attempts without progress)");
  EXPECT_EQ(err.str(), problem + "\nconnecting again (2 of 2)\n");
}

// On test time no time-out runs out by itself: waiting for an answer that
// never comes would never end.
class EmailUploaderOnTestTimeTest : public testing::LoopbackServerFixture {};

TEST_F(EmailUploaderOnTestTimeTest, EndsOnceQuitIsHandedOverWithoutWaitingForItsAnswer) {
  options.script = [](const std::string& word, int) -> std::optional<std::string> {
    if (word == "QUIT") return "";  // no answer, no close
    return std::nullopt;
  };
  options.quietTime = 20ms;
  StartServer();
  const std::string bytes = RandomBytes(5000, 3);
  auto email = EmailWith("Q-1", {bytes});
  std::ostringstream out;
  std::ostringstream err;
  terminal::ProgressDisplay display{err, false};
  {
    cli::EmailUploader uploader(email, 1, out, display);
    uploader.Start();
    ASSERT_TRUE(platform.eventLoop.RunUntil([&] { return uploader.Done(); }, 20s)) << err.str();
    EXPECT_TRUE(uploader.Succeeded()) << uploader.Failure();
  }  // its socket closes, as when `dwl upload` ends
  const auto& words = server->Transcript();
  ASSERT_TRUE(platform.eventLoop.RunUntil([&] { return !words.empty() && words.back() == "QUIT"; }, 20s))
      << "the server gets QUIT all the same";
  EXPECT_EQ(words, (std::vector<std::string>{"HELO", "LOGN", "NEWM", "NEWA", "FINA", "SUBJ", "FINM", "QUIT"}));
  EXPECT_TRUE(Stored(email->get_attachments()[0]) == bytes);
}

}  // namespace
}  // namespace dwl
