#include "platform/portable/PortableEventLoop.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Error.h"
#include "platform/portable/Utf8CodePage.h"

namespace dwl::portable {
namespace {

using namespace std::chrono_literals;

class PortableEventLoopTest : public ::testing::Test {
 protected:
  void Advance(std::chrono::milliseconds by) {
    now += by;
    loop.TimeMoved();
    loop.Poll();
  }

  Utf8CodePage codePage;
  std::chrono::steady_clock::time_point now{};
  PortableEventLoop loop{codePage, [this] { return now; }};
};

TEST_F(PortableEventLoopTest, ATimerTicksEveryPeriodUntilStopped) {
  int ticks = 0;
  auto timer = loop.NewTimer([&] { ++ticks; });
  EXPECT_FALSE(timer->Running());
  timer->Start(1000ms);
  Advance(999ms);
  EXPECT_EQ(ticks, 0);
  Advance(1ms);
  EXPECT_EQ(ticks, 1);
  Advance(1000ms);
  Advance(1000ms);
  EXPECT_EQ(ticks, 3);
  timer->Stop();
  EXPECT_FALSE(timer->Running());
  Advance(5000ms);
  EXPECT_EQ(ticks, 3);
}

TEST_F(PortableEventLoopTest, ARestartPostponesTheNextTickByAFullPeriod) {
  int ticks = 0;
  auto timer = loop.NewTimer([&] { ++ticks; });
  timer->Start(20s);
  Advance(15s);
  timer->Start(20s);
  Advance(15s);
  EXPECT_EQ(ticks, 0) << "30 s after the first start, 15 s after the restart";
  Advance(5s);
  EXPECT_EQ(ticks, 1);
}

TEST_F(PortableEventLoopTest, ALateTimerTicksOnceAndGoesOnFromNow) {
  int ticks = 0;
  auto timer = loop.NewTimer([&] { ++ticks; });
  timer->Start(1s);
  Advance(10s);
  EXPECT_EQ(ticks, 1);
  Advance(999ms);
  EXPECT_EQ(ticks, 1);
  Advance(1ms);
  EXPECT_EQ(ticks, 2);
}

TEST_F(PortableEventLoopTest, TickHandlersMayStopOrDestroyTimersThatAreAlsoDue) {
  std::vector<std::string> order;
  std::unique_ptr<PeriodicTimer> second;
  auto first = loop.NewTimer([&] {
    order.push_back("first");
    second.reset();  // due at the same moment; must not tick after this
  });
  second = loop.NewTimer([&] { order.push_back("second"); });
  first->Start(1s);
  second->Start(1s);
  std::unique_ptr<PeriodicTimer> self;
  self = loop.NewTimer([&] {
    order.push_back("self");
    self.reset();
  });
  self->Start(1s);
  Advance(1s);
  EXPECT_EQ(order, (std::vector<std::string>{"first", "self"}));
  Advance(1s);
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
  Advance(1s);
  EXPECT_EQ(slow, 1);
  Advance(100ms);
  EXPECT_EQ(fast, 1);
  Advance(900ms);
  EXPECT_EQ(slow, 2);
}

TEST_F(PortableEventLoopTest, APeriodOfZeroIsRefused) {
  auto timer = loop.NewTimer([] {});
  EXPECT_THROW(timer->Start(0ms), Error);
  EXPECT_FALSE(timer->Running());
}

TEST(PortableEventLoopRealTime, ATimerTicksOnTheSteadyClock) {
  Utf8CodePage codePage;
  PortableEventLoop loop(codePage);
  int ticks = 0;
  auto timer = loop.NewTimer([&] { ++ticks; });
  const auto start = std::chrono::steady_clock::now();
  timer->Start(50ms);
  ASSERT_TRUE(loop.RunUntil([&] { return ticks == 2; }, 5s));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 100ms);
}

}  // namespace
}  // namespace dwl::portable
