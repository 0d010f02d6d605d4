// TransferAgent against a reference server that a script makes hostile, over
// loopback, on one loop. Test time moves the agent's and the client's waits on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "apps/agent/TransferAgent.h"
#include "mail/EmailQueue.h"
#include "tests/apps/LoopbackServerFixture.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

class HostileServerAgentTest : public testing::LoopbackServerFixture {
 protected:
  void StartServer() { LoopbackServerFixture::StartServer(platform.eventLoop.Context()); }

  // Queues an e-mail with one small file; returns its ID.
  std::string Queue(const std::string& id) {
    auto email = std::make_shared<Email>();
    email->set_ID(id);
    email->set_Subject("Subject of " + id);
    email->AddRecipient("r@example.org");
    email->AddAttachment(testing::AttachedFile(platform.Path(id + ".bin"), std::string(2000, 'h')));
    EmailQueue::Instance()->AddEmail(email);
    return id;
  }

  // Runs TransferAgent -o for at most `seconds` of test time, a second at a
  // time; returns the seconds it took.
  int RunAgentOnce(int seconds) {
    agent::AgentOptions once;
    once.once = true;
    once.host = "127.0.0.1";
    once.port = server->Port();
    display.emplace(shown, false);
    agent.emplace(once, *display, platform.transferAgent.TryAcquireMark());
    agent->Start();
    int second = 0;
    for (; second < seconds && !agent->Done(); ++second) {
      platform.eventLoop.RunUntil([&] { return agent->Done(); }, 50ms);
      platform.AdvanceTime(1s);
    }
    platform.eventLoop.RunUntil([&] { return agent->Done(); }, 50ms);
    return second;
  }

  std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(folder)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::ostringstream shown;
  std::optional<agent::ProgressDisplay> display;
  std::optional<agent::TransferAgent> agent;
};

TEST_F(HostileServerAgentTest, AServerSilentAfterTooLargeCannotKeepTheAgent) {
  options.script = [](const std::string& word, int) -> std::optional<std::string> {
    if (word == "NEWM" || word == "RESM") return "320 E-mail too large";
    if (word == "QUIT") return "";  // neither an answer nor a close
    return std::nullopt;
  };
  StartServer();
  const std::string id = Queue("HOSTILE-320");
  const int took = RunAgentOnce(60);
  ASSERT_TRUE(agent->Done()) << "TransferAgent -o still waits after 60 s: " << shown.str();
  EXPECT_LE(took, ServerCommunicator::kReplyTimeOutSeconds + 3) << shown.str();
  EXPECT_EQ(Names(settings->getApplicationDirectory() + "Failed/"), std::vector<std::string>{id + ".txt"});
  EXPECT_TRUE(Names(settings->getMailQueueDirectory()).empty());
  EXPECT_NE(shown.str().find("e-mail " + id + " moved to Failed: the server refuses an e-mail of this size"),
            std::string::npos)
      << shown.str();
}

}  // namespace
}  // namespace dwl
