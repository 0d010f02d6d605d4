#include "platform/portable/PortableEventLoop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/Error.h"
#include "tests/TestPlatform.h"

namespace dwl::portable {
namespace {

using namespace std::chrono_literals;

// The test platform's loop runs on test time; the programs' tests in
// tests/agent run it on the steady clock (the silent server's time-out).
class PortableEventLoopTest : public ::testing::Test {
 protected:
  testing::TestPlatform platform;
  PortableEventLoop& loop = platform.eventLoop;
};

TEST_F(PortableEventLoopTest, ATimerTicksEveryPeriodFromItsLastStartUntilStopped) {
  int ticks = 0;
  auto timer = loop.NewTimer([&] { ++ticks; });
  EXPECT_THROW(timer->Start(0ms), Error);
  EXPECT_FALSE(timer->Running());
  // Each step: how far time moves, and the ticks counted after it.
  const auto expect = [&](std::chrono::milliseconds by, int total) {
    platform.AdvanceTime(by);
    EXPECT_EQ(ticks, total) << "at " << platform.time.time_since_epoch().count();
  };
  timer->Start(20s);
  expect(15s, 0);
  timer->Start(20s);  // a restart postpones the next tick by a full period
  expect(15s, 0);
  expect(5s, 1);
  expect(20s, 2);
  expect(100s, 3);  // late: one tick, and on from now
  expect(19999ms, 3);
  expect(1ms, 4);
  timer->Stop();
  expect(60s, 4);
}

TEST_F(PortableEventLoopTest, TickHandlersMayDestroyTimersThatAreAlsoDue) {
  std::vector<std::string> order;
  std::unique_ptr<PeriodicTimer> second;
  std::unique_ptr<PeriodicTimer> self;
  const auto first = loop.NewTimer([&] {
    order.push_back("first");
    second.reset();  // due at the same moment; must not tick after this
  });
  second = loop.NewTimer([&] { order.push_back("second"); });
  self = loop.NewTimer([&] {
    order.push_back("self");
    self.reset();
  });
  for (PeriodicTimer* timer : {first.get(), second.get(), self.get()}) timer->Start(1s);
  platform.AdvanceTime(1s);
  EXPECT_EQ(order, (std::vector<std::string>{"first", "self"}));
  platform.AdvanceTime(1s);
  EXPECT_EQ(order, (std::vector<std::string>{"first", "self", "first"}));
}

TEST_F(PortableEventLoopTest, ATimerStartedByAnotherTimersTickKeepsBothOnTime) {
  int slow = 0;
  int fast = 0;
  auto fastTimer = loop.NewTimer([&] { ++fast; });
  auto slowTimer = loop.NewTimer([&] {
    ++slow;
    fastTimer->Start(100ms);
  });
  slowTimer->Start(1s);
  platform.AdvanceTime(1s);
  platform.AdvanceTime(100ms);
  EXPECT_EQ(fast, 1);
  platform.AdvanceTime(900ms);
  EXPECT_EQ(slow, 2);
}

TEST_F(PortableEventLoopTest, AFolderWatchTellsOfAFileRenamedIntoItUntilTheWatchGoes) {
  const std::filesystem::path folder = testing::Native(platform.Path("queue"));
  std::filesystem::create_directory(folder);
  int changes = 0;
  auto watch = loop.WatchFolder(platform.Path("queue"), [&] { ++changes; });
  ASSERT_NE(watch, nullptr);
  testing::WriteBytes(platform.Path("mail.tmp"), "queued");
  std::filesystem::rename(testing::Native(platform.Path("mail.tmp")), folder / "mail.txt");
  EXPECT_TRUE(loop.RunUntil([&] { return changes > 0; }, 5s));

  watch.reset();
  const int told = changes;
  testing::WriteBytes(platform.Path("queue/later.txt"), "queued");
  loop.RunUntil([] { return false; }, 100ms);
  EXPECT_EQ(changes, told) << "nothing after the watch went";
  EXPECT_EQ(loop.WatchFolder(platform.Path("missing"), [] {}), nullptr);
}

TEST_F(PortableEventLoopTest, AFolderWatchTellsOfEveryFileMadeOrWrittenInIt) {
  std::filesystem::create_directory(testing::Native(platform.Path("queue")));
  int changes = 0;
  const auto watch = loop.WatchFolder(platform.Path("queue"), [&] { ++changes; });
  ASSERT_NE(watch, nullptr);
  // Made, written again, another made: each is told after the earlier ones
  // were told and have settled, so the watch goes on after telling.
  for (const char* name : {"queue/first.txt", "queue/first.txt", "queue/second.txt"}) {
    loop.RunUntil([] { return false; }, 100ms);
    const int before = changes;
    testing::WriteBytes(platform.Path(name), "queued");
    EXPECT_TRUE(loop.RunUntil([&] { return changes > before; }, 5s)) << name;
  }
}

}  // namespace
}  // namespace dwl::portable
