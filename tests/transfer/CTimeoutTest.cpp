#include "transfer/CTimeout.h"

#include <gtest/gtest.h>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

class CTimeoutTest : public ::testing::Test {
 protected:
  CTimeoutTest() {
    timer.TimeOut = [this] { ++ticks; };
  }
  testing::TestPlatform platform;
  CTimeout timer;
  int ticks = 0;
};

TEST_F(CTimeoutTest, AValueOfZeroOrLessStartsNothing) {
  timer.StartTimer();
  timer.TimeOutValue(-1);
  timer.StartTimer();
  timer.Reset();
  platform.AdvanceTime(100s);
  EXPECT_EQ(ticks, 0);
  timer.StopTimer();  // before any start
}

TEST_F(CTimeoutTest, ARunningTimerTicksEveryPeriodUntilStopped) {
  timer.TimeOutValue(1);
  timer.StartTimer();
  for (int second = 0; second < 5; ++second) platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 5);
  timer.StopTimer();
  platform.AdvanceTime(10s);
  EXPECT_EQ(ticks, 5);
}

TEST_F(CTimeoutTest, AStartAfterAStopWaitsAFullPeriod) {
  timer.TimeOutValue(20);
  timer.StartTimer();
  platform.AdvanceTime(15s);
  timer.StopTimer();
  timer.StartTimer();
  platform.AdvanceTime(19s);
  EXPECT_EQ(ticks, 0);
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 1);
}

TEST_F(CTimeoutTest, AResetPostponesTheNextTickAndRevivesAStoppedTimer) {
  timer.TimeOutValue(20);
  timer.StartTimer();
  platform.AdvanceTime(19s);
  timer.Reset();
  platform.AdvanceTime(19s);
  EXPECT_EQ(ticks, 0);
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 1);
  timer.StopTimer();
  timer.Reset();
  platform.AdvanceTime(20s);
  EXPECT_EQ(ticks, 2);
}

TEST_F(CTimeoutTest, ANewValueCountsFromTheNextStart) {
  timer.TimeOutValue(20);
  timer.StartTimer();
  timer.TimeOutValue(1);
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 0);
  timer.Reset();
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 1);
}

TEST_F(CTimeoutTest, ATimerOutlivesAnotherOne) {
  int otherTicks = 0;
  {
    CTimeout other;
    other.TimeOut = [&] { ++otherTicks; };
    other.TimeOutValue(1);
    other.StartTimer();
    timer.TimeOutValue(2);
    timer.StartTimer();
  }
  platform.AdvanceTime(2s);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(otherTicks, 0);
}

TEST_F(CTimeoutTest, AHandlerMayStopItsOwnTimer) {
  timer.TimeOut = [this] {
    ++ticks;
    timer.StopTimer();
  };
  timer.TimeOutValue(1);
  timer.StartTimer();
  platform.AdvanceTime(1s);
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 1);
}

TEST_F(CTimeoutTest, APeriodBeyond32BitMillisecondsIsAnOverflow) {
  timer.TimeOutValue(2147484);  // 2,147,484,000 ms
  EXPECT_TRUE(testing::ThrowsError(errc::kOverflow, [&] { timer.StartTimer(); }));
  timer.TimeOutValue(2147483);
  timer.StartTimer();
  timer.TimeOutValue(2147484);
  timer.Reset();  // ignored: the timer keeps its period
  platform.AdvanceTime(2147483s);
  EXPECT_EQ(ticks, 1);
}

TEST(CTimeoutWithoutLoop, CannotBeCreated) {
  testing::TestPlatform platform;
  Platform services = platform.services;
  services.eventLoop = nullptr;
  ScopedPlatform without(services);
  EXPECT_TRUE(testing::ThrowsError(CTimeout::kCannotCreateTimerWindow, [] { CTimeout timer; }));
}

// A system without timers to give.
class NoTimersLoop : public EventLoop {
 public:
  std::unique_ptr<PeriodicTimer> NewTimer(std::function<void()>) override {
    throw Error(errc::kOutOfMemory, "NoTimersLoop", "no timers");
  }
  std::unique_ptr<TcpSocket> NewTcpSocket() override { return nullptr; }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds) override { return done(); }
};

TEST(CTimeoutWithoutTimers, TheFirstStartFails) {
  testing::TestPlatform platform;
  NoTimersLoop loop;
  Platform services = platform.services;
  services.eventLoop = &loop;
  ScopedPlatform without(services);
  CTimeout timer;
  timer.TimeOutValue(1);
  EXPECT_TRUE(testing::ThrowsError(CTimeout::kCannotCreateTimer, [&] { timer.StartTimer(); }));
}

}  // namespace
}  // namespace dwl
