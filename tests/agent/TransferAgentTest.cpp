// TransferAgent -o against the reference server over loopback, on one loop.
// Test time moves the agent's and the client's waits on; sockets run for
// real. The shell tests beside it run the programs themselves (watching the
// queue and a mended login in watch_test.sh, a queue file named otherwise in
// resume_after_kill_test.sh, a file changed after its upload began in
// changed_file_test.sh).
#include "apps/agent/TransferAgent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "mail/EmailQueue.h"
#include "platform/SystemPlatform.h"
#include "tests/apps/LoopbackServerFixture.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

class TransferAgentTest : public testing::LoopbackServerFixture {
 protected:
  TransferAgentTest() { options.quietTime = 100ms; }

  // Queues an e-mail with files of the given sizes.
  void Queue(const std::string& id, const std::vector<std::size_t>& sizes) {
    std::vector<std::string> contents;
    for (const std::size_t size : sizes) contents.push_back(RandomBytes(size, static_cast<unsigned>(contents.size())));
    auto email = EmailWith(id, contents);
    email->AddRecipient("r@example.org");
    EmailQueue::Instance()->AddEmail(email);
  }

  // Runs the agent until it is done, a second of test time a round; keeps
  // the rounds it took in `seconds`.
  void RunAgent(const std::function<void()>& eachRound = {}) {
    display.emplace(shown, false);
    agent.emplace(agent::AgentOptions{.once = true, .host = "127.0.0.1", .port = server->Port()},
                  *display, lock.TryAcquireMark());
    agent->Start();
    for (seconds = 0; seconds < 400 && !agent->Done(); ++seconds) {
      platform.eventLoop.RunUntil([&] { return agent->Done(); }, 50ms);
      if (eachRound) eachRound();
      platform.AdvanceTime(1s);
    }
    ASSERT_TRUE(agent->Done()) << shown.str();
  }

  std::vector<std::string> QueueFiles() { return testing::FileNames(settings->getMailQueueDirectory()); }
  std::vector<std::string> FailedFiles() {
    return testing::FileNames(settings->getApplicationDirectory() + "Failed/");
  }
  int Count(const std::string& word) {
    return static_cast<int>(std::count(server->Transcript().begin(), server->Transcript().end(), word));
  }
  // The bytes of the one file of e-mail `id` on the server.
  std::string ServerFile(const std::string& id) {
    const std::vector<std::string> files = Recorded(id, "Attachment");
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? "(none)" : testing::ReadBytes(server->Store().AttachmentPath(files[0]));
  }

#ifdef _WIN32
  win32::Win32TransferAgentControl lock;  // the user's one: the mutex and the window
#else
  portable::PortableTransferAgentControl lock{platform.Path("agent.lock")};
#endif
  std::ostringstream shown;
  std::optional<terminal::ProgressDisplay> display;
  std::optional<agent::TransferAgent> agent;
  int seconds = 0;
};

TEST_F(TransferAgentTest, UploadsTheOldestFirstAndLeavesWhenTheQueueIsEmpty) {
  StartServer();
  testing::CreationTimes files;
  files.times = {{"AAAA-young.txt", {2026, 12, 7, 10, 0, 1}}, {"ZZZZ-old.txt", {2026, 12, 7, 10, 0, 0}}};
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  Queue("AAAA-young", {10});
  Queue("ZZZZ-old", {20, 30});
  testing::WriteBytes(settings->getMailQueueDirectory() + "broken.txt",
                      "<DwlEmailId>\r\nX\r\n</DwlEmailId>\r\n<Source>\r\nabc\r\n</Source>\r\n");
  RunAgent();
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(FailedFiles(), std::vector<std::string>{"broken.txt"}) << "a file that cannot be read";
  const std::string text = shown.str();
  const auto first = text.find("uploaded e-mail ZZZZ-old");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_LT(first, text.find("uploaded e-mail AAAA-young")) << "the older queue file goes first";
  EXPECT_EQ(Count("NEWM"), 2);
  EXPECT_EQ(Count("NEWA"), 3);
  EXPECT_FALSE(lock.IsRunning()) << "the mark goes with the agent";
}

// The file is whole on the server after the first attempt; every later one
// resumes it (no new bytes) and is refused at `word`.
class RefusedStepTest : public TransferAgentTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedStepTest, AnEmailWhoseLaterStepIsAlwaysRefusedGoesToFailed) {
  const std::string refused = GetParam();
  options.script = [refused](const std::string& word, int) -> std::optional<std::string> {
    if (word == refused) return "554 Refused";
    return std::nullopt;
  };
  StartServer();
  Queue("REFUSED-1", {100000});
  RunAgent();
  EXPECT_EQ(FailedFiles(), std::vector<std::string>{"REFUSED-1.txt"});
  EXPECT_EQ(Count(refused), 1 + agent::TransferAgent::kMostFruitlessAttempts)
      << "the first attempt progressed, the five after it did not";
  EXPECT_EQ(Count("RESA"), agent::TransferAgent::kMostFruitlessAttempts);
  if (refused != "FINM") {
    EXPECT_EQ(Count("FINM"), 0) << "never finished";
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, RefusedStepTest, ::testing::Values("SUBJ", "FINM"));

TEST_F(TransferAgentTest, AnUploadCutAgainAndAgainResumesAndIsNotGivenUpWhileItAdvances) {
  // Every server cuts its first connection after 1 MiB of file bytes; a new
  // one (same port, same store) takes over after each cut.
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  options.port = server->Port();
  Queue("CUTS-1", {8 * 1048576});
  int cuts = 0;
  std::size_t lastWait = std::string::npos;
  std::vector<std::string> words;
  RunAgent([&] {
    const std::size_t wait = shown.str().rfind("connecting again");
    if (wait == lastWait) return;
    lastWait = wait;
    ++cuts;
    words.insert(words.end(), server->Transcript().begin(), server->Transcript().end());
    server.reset();
    server.emplace(platform.eventLoop.Context(), options);
  });
  words.insert(words.end(), server->Transcript().begin(), server->Transcript().end());
  EXPECT_GT(cuts, agent::TransferAgent::kMostFruitlessAttempts);
  EXPECT_TRUE(FailedFiles().empty()) << shown.str();
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(std::count(words.begin(), words.end(), "NEWM"), 1) << "the e-mail is resumed, not sent anew";
  EXPECT_EQ(std::count(words.begin(), words.end(), "NEWA"), 1);
  EXPECT_TRUE(ServerFile("CUTS-1") == testing::ReadBytes(platform.Path("CUTS-1-0.bin"))) << "the file differs";
}

}  // namespace
}  // namespace dwl
