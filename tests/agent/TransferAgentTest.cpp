// TransferAgent against the reference server over loopback, on one loop.
// Test time moves the agent's waits on; sockets run for real.
#include "apps/agent/TransferAgent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "mail/EmailQueue.h"
#include "support/ApplicationLog.h"
#include "tests/apps/LoopbackServerFixture.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

class TransferAgentTest : public testing::LoopbackServerFixture {
 protected:
  TransferAgentTest() {
    options.quietTime = 100ms;
    options.keepTranscript = true;
  }

  void StartServer() { LoopbackServerFixture::StartServer(platform.eventLoop.Context()); }

  // Queues an e-mail with files of the given sizes; returns its queue file.
  std::string Queue(const std::string& id, std::vector<std::size_t> sizes) {
    auto email = std::make_shared<Email>();
    email->set_ID(id);
    email->set_Subject("Subject of " + id);
    email->AddRecipient("r@example.org");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      const std::string path = platform.Path(id + "-" + std::to_string(i) + ".bin");
      std::string bytes(sizes[i], '\0');
      for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<char>(b * 7 + i);
      email->AddAttachment(testing::AttachedFile(path, bytes));
    }
    EmailQueue::Instance()->AddEmail(email);
    return email->QueueFilePath();
  }

  // Runs the agent until it is done, moving test time on for its waits.
  void RunAgent(agent::AgentOptions agentOptions, const std::function<void()>& eachRound = {}) {
    agentOptions.host = "127.0.0.1";  // as --server gives it
    agentOptions.port = server->Port();
    display.emplace(shown, false);
    agent.emplace(agentOptions, *display, platform.transferAgent.TryAcquireMark());
    agent->Start();
    for (int round = 0; round < 400 && !agent->Done(); ++round) {
      platform.eventLoop.RunUntil([&] { return agent->Done(); }, 50ms);
      if (eachRound) eachRound();
      platform.AdvanceTime(1s);
    }
    ASSERT_TRUE(agent->Done()) << shown.str();
  }

  std::vector<std::string> QueueFiles() { return Names(settings->getMailQueueDirectory()); }
  std::vector<std::string> FailedFiles() { return Names(settings->getApplicationDirectory() + "Failed/"); }
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(folder)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  int Count(const std::string& word) {
    return static_cast<int>(std::count(server->Transcript().begin(), server->Transcript().end(), word));
  }

  static agent::AgentOptions Once() {
    agent::AgentOptions once;
    once.once = true;
    return once;
  }
  // The bytes of the one file the server stored.
  std::string StoredFile() {
    for (const auto& entry : std::filesystem::directory_iterator(options.store + "/files")) {
      if (entry.path().extension() != ".txt") return testing::ReadBytes(entry.path().string());
    }
    return "(none)";
  }

  std::ostringstream shown;
  std::optional<agent::ProgressDisplay> display;
  std::optional<agent::TransferAgent> agent;
};

TEST_F(TransferAgentTest, UploadsTheOldestFirstAndLeavesWhenTheQueueIsEmpty) {
  StartServer();
  testing::CreationTimes files(platform.files);
  const ScopedPlatform installed = testing::TestPlatform::WithFiles(files);
  const std::string young = Queue("AAAA-young", {10});
  const std::string old = Queue("ZZZZ-old", {20, 30});
  files.times[std::filesystem::path(young).filename()] = {2026, 12, 7, 10, 0, 1};
  files.times[std::filesystem::path(old).filename()] = {2026, 12, 7, 10, 0, 0};

  RunAgent(Once());
  EXPECT_TRUE(QueueFiles().empty());
  const std::string text = shown.str();
  const auto first = text.find("uploaded e-mail ZZZZ-old");
  const auto second = text.find("uploaded e-mail AAAA-young");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(second, std::string::npos) << text;
  EXPECT_LT(first, second) << "the older queue file goes first";
  EXPECT_EQ(Count("NEWM"), 2);
  EXPECT_EQ(Count("NEWA"), 3);
  EXPECT_FALSE(platform.transferAgent.running) << "the mark goes with the agent";
}

TEST_F(TransferAgentTest, AnInterruptedFileResumesOnTheNextConnection) {
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  Queue("CUT-1", {3 * 1048576});
  RunAgent(Once());
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(Count("NEWM"), 1);
  EXPECT_EQ(Count("RESM"), 1) << "the server holds the e-mail: resumed, not sent anew";
  EXPECT_EQ(Count("NEWA"), 1);
  EXPECT_EQ(Count("RESA"), 1);
  EXPECT_NE(shown.str().find("connecting again in 1 s"), std::string::npos);
  EXPECT_TRUE(StoredFile() == testing::ReadBytes(platform.Path("CUT-1-0.bin"))) << "the file differs";
}

TEST_F(TransferAgentTest, TooLargeGoesToFailed) {
  options.maxSize = 1000;
  StartServer();
  const std::string big = Queue("BIG-1", {5000});
  Queue("SMALL-1", {10});
  RunAgent(Once());
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(FailedFiles(), std::vector<std::string>{"BIG-1.txt"});
  EXPECT_NE(shown.str().find("moved to Failed: the server refuses an e-mail of this size"),
            std::string::npos);
  EXPECT_NE(shown.str().find("uploaded e-mail SMALL-1"), std::string::npos) << "the next one still goes";
}

TEST_F(TransferAgentTest, AFileThatCannotBeReadGoesToFailed) {
  StartServer();
  testing::WriteBytes(settings->getMailQueueDirectory() + "broken.txt",
                      "<DwlEmailId>\r\nX\r\n</DwlEmailId>\r\n<Source>\r\nabc\r\n</Source>\r\n");
  Queue("GOOD-1", {10});
  RunAgent(Once());
  EXPECT_EQ(FailedFiles(), std::vector<std::string>{"broken.txt"});
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(Count("FINM"), 1);
}

TEST_F(TransferAgentTest, AVanishedAttachmentIsLeftOut) {
  StartServer();
  Queue("GONE-1", {10, 20});
  std::filesystem::remove(platform.Path("GONE-1-0.bin"));
  RunAgent(Once());
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(Count("NEWA"), 1);
  EXPECT_EQ(Count("FINM"), 1);
}

// A file that changes after its upload began (cut after 1 MiB) is sent
// afresh, never resumed: resuming would put new bytes after old ones.
TEST_F(TransferAgentTest, AFileChangedAfterItsUploadBeganIsSentAfresh) {
  struct Case {
    const char* what;
    std::size_t newSize;
    bool betweenRuns;  // else while the agent waits to connect again
  };
  const Case cases[] = {{"same size, new bytes, newer time", 3 * 1048576, true},
                        {"larger", 4 * 1048576, true},
                        {"smaller", 2 * 1048576, true},
                        {"larger, while it waits", 4 * 1048576, false}};
  options.cutOnceAfterFileBytes = 1048576;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string id = "EDIT-" + std::to_string(++n);
    const std::string queued = Queue(id, {3 * 1048576});
    const std::string path = platform.Path(id + "-0.bin");
    const std::string newBytes(c.newSize, static_cast<char>('a' + n));
    const auto edit = [&] {
      const auto before = std::filesystem::last_write_time(path);
      testing::WriteBytes(path, newBytes);
      std::filesystem::last_write_time(path, before + 2s);
    };
    StartServer();  // a fresh server: its first connection is cut
    shown.str("");
    bool edited = false;
    RunAgent(Once(), [&] {
      if (edited || shown.str().find("connecting again") == std::string::npos) return;
      if (c.betweenRuns) {
        agent->Stop();
        return;
      }
      edit();
      edited = true;
    });
    if (c.betweenRuns) {
      ASSERT_EQ(QueueFiles(), std::vector<std::string>{id + ".txt"}) << shown.str();
      const auto lines = testing::ReadCrLfLines(queued);
      const auto noted = std::find(lines.begin(), lines.end(), "<AttachmentSize>");
      ASSERT_NE(noted, lines.end()) << "the queue file keeps the file as its upload began";
      EXPECT_EQ(noted[1], "3145728");
      edit();
      RunAgent(Once());
    }
    EXPECT_TRUE(QueueFiles().empty()) << shown.str();
    EXPECT_TRUE(FailedFiles().empty()) << shown.str();
    const auto record = testing::ReadCrLfLines(options.store + "/emails/" + id + ".txt");
    std::vector<std::string> files;
    for (auto line = record.begin(); line != record.end(); ++line) {
      if (*line == "<Attachment>") files.push_back(line[1]);
    }
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(testing::ReadBytes(options.store + "/files/" + files[0]) == newBytes)
        << "the server's file is not the new content";
    const std::string log = testing::ReadBytes(ApplicationLog::Instance()->getLogFilePath());
    EXPECT_NE(log.find(path + " changed since its upload began"), std::string::npos);
  }
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
  RunAgent(Once());
  EXPECT_EQ(FailedFiles(), std::vector<std::string>{"REFUSED-1.txt"});
  EXPECT_EQ(Count(refused), 1 + agent::TransferAgent::kMostFruitlessAttempts)
      << "the first attempt progressed, the five after it did not";
  EXPECT_EQ(Count("RESA"), agent::TransferAgent::kMostFruitlessAttempts);
  EXPECT_EQ(Count("FINM"), refused == "FINM" ? Count("FINM") : 0) << "never finished";
  EXPECT_NE(shown.str().find("failed 5 times in a row without progress"), std::string::npos)
      << shown.str();
}

INSTANTIATE_TEST_SUITE_P(Steps, RefusedStepTest, ::testing::Values("SUBJ", "FINM"));

TEST_F(TransferAgentTest, AnUploadCutAgainAndAgainWhileItAdvancesIsNotGivenUp) {
  // Every server cuts its first connection after 1 MiB of file bytes; a new
  // one (same port, same store) takes over after each cut.
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  options.port = server->Port();
  Queue("CUTS-1", {8 * 1048576});
  int cuts = 0;
  RunAgent(Once(), [&] {
    const std::string text = shown.str();
    int waits = 0;
    for (auto at = text.find("connecting again"); at != std::string::npos;
         at = text.find("connecting again", at + 1)) {
      ++waits;
    }
    if (waits > cuts) {
      cuts = waits;
      server.reset();
      server.emplace(platform.eventLoop.Context(), options);
    }
  });
  EXPECT_GT(cuts, agent::TransferAgent::kMostFruitlessAttempts);
  EXPECT_TRUE(FailedFiles().empty()) << shown.str();
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_TRUE(StoredFile() == testing::ReadBytes(platform.Path("CUTS-1-0.bin"))) << "the file differs";
}

TEST_F(TransferAgentTest, AFileNamedOtherwiseIsTheOneKeptAndRemoved) {
  options.cutOnceAfterFileBytes = 1048576;
  StartServer();
  const std::string queued = Queue("REAL-ID", {2 * 1048576});
  const std::string renamed = settings->getMailQueueDirectory() + "copied by hand.txt";
  std::filesystem::rename(queued, renamed);
  bool seen = false;
  RunAgent(Once(), [&] {
    // While it waits after the cut, the file it read holds the progress.
    if (!seen && shown.str().find("connecting again") != std::string::npos) {
      const auto lines = testing::ReadCrLfLines(renamed);
      seen = std::find(lines.begin(), lines.end(), "True") != lines.end();
      EXPECT_FALSE(std::filesystem::exists(queued)) << "no second file under the ID";
    }
  });
  EXPECT_TRUE(seen) << "CreatedOnServer True was written into the file it came from";
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(Count("RESA"), 1);
}

TEST_F(TransferAgentTest, WatchingPicksUpANewFileUntilStopped) {
  StartServer();
  display.emplace(shown, false);
  agent::AgentOptions watching;
  watching.host = "127.0.0.1";
  watching.port = server->Port();
  agent.emplace(watching, *display, platform.transferAgent.TryAcquireMark());
  agent->Start();
  platform.AdvanceTime(1s);
  EXPECT_FALSE(agent->Done()) << "an empty queue is watched";
  Queue("LATE-1", {10});
  for (int round = 0; round < 100 && QueueFiles().size() > 0; ++round) {
    platform.AdvanceTime(1s);
    platform.eventLoop.RunUntil([&] { return QueueFiles().empty(); }, 50ms);
  }
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_FALSE(agent->Done());
  agent->Stop();
  EXPECT_TRUE(agent->Done());
}

TEST_F(TransferAgentTest, ARefusedLoginIsTriedAgainWithTheMendedAccount) {
  StartServer();
  Queue("LOGIN-1", {10});
  settings->setPassword("wrong");
  settings->SaveSettings();
  bool mended = false;
  RunAgent(Once(), [&] {
    // The user fixes the password while the agent waits to try again.
    if (!mended && shown.str().find("connecting again") != std::string::npos) {
      settings->setPassword("secret");
      settings->SaveSettings();
      mended = true;
    }
  });
  EXPECT_TRUE(mended) << shown.str();
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_GE(Count("LOGN"), 2);
}

TEST(ProgressDisplayTest, TheBarShowsNamePercentRateAndTimeLeft) {
  EXPECT_EQ(agent::ProgressDisplay::BarLine("report.pdf", 5 * 1048576, 10 * 1048576, 2),
            "report.pdf                   [##########..........]  50%     2.5 MB/s  0:02 left");
  EXPECT_EQ(agent::ProgressDisplay::BarLine("a-very-long-file-name-that-goes-on.bin", 0, 100, 0)
                .substr(0, 29),
            "a-very-long-file-name-tha... ") << "long names are cut to keep the columns";
  EXPECT_NE(agent::ProgressDisplay::BarLine("x", 0, 100, 0).find("--:-- left"), std::string::npos);
  std::ostringstream out;
  agent::ProgressDisplay lines(out, false);
  lines.StartFile("f.bin", 1048576);
  lines.Update(524288);
  lines.FinishFile();
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("sent f.bin (1.0 MB) in ", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << "one line per file";
}

}  // namespace
}  // namespace dwl
