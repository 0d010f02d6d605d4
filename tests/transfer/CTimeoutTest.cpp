#include "transfer/CTimeout.h"

#include <gtest/gtest.h>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using namespace std::chrono_literals;

class CTimeoutTest : public ::testing::Test {
 protected:
  CTimeoutTest() { timer.TimeOut = [this] { ++ticks; }; }
  testing::TestPlatform platform;
  CTimeout timer;
  int ticks = 0;
};

// The ticking and a restart's full period are the event loop's test, a Reset
// of a running timer the client's reply time-out test; here, what CTimeout
// adds: nothing runs at 0, and a start after a stop (which goes through
// Reset) waits a full period again.
TEST_F(CTimeoutTest, NothingRunsAt0AndAStartAfterAStopWaitsAFullPeriod) {
  timer.StopTimer();  // before any start
  timer.StartTimer();
  platform.AdvanceTime(100s);
  EXPECT_EQ(ticks, 0) << "a value of 0 starts nothing";
  timer.TimeOutValue(20);
  timer.StartTimer();
  platform.AdvanceTime(19s);
  EXPECT_EQ(ticks, 0);
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 1);
  timer.StopTimer();
  platform.AdvanceTime(60s);
  timer.StartTimer();
  platform.AdvanceTime(19s);
  EXPECT_EQ(ticks, 1);
  platform.AdvanceTime(1s);
  EXPECT_EQ(ticks, 2);
}

TEST_F(CTimeoutTest, TimersComeAndGoInAnyOrderAndAHandlerMayStopItsOwn) {
  {
    CTimeout other;
    other.TimeOut = [] { ADD_FAILURE() << "a timer gone ticks"; };
    other.TimeOutValue(1);
    other.StartTimer();
    timer.TimeOut = [this] { ++ticks; timer.StopTimer(); };
    timer.TimeOutValue(2);
    timer.StartTimer();
  }
  platform.AdvanceTime(2s);
  platform.AdvanceTime(2s);
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

}  // namespace
}  // namespace dwl
