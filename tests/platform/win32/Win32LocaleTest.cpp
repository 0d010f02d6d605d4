// The user's regional settings as Wine's default (United States) gives them:
// the calls are asked the right things and their answers read whole.
#include <gtest/gtest.h>

#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32NumberFormat.h"

namespace dwl::win32 {
namespace {

TEST(Win32LocaleTest, NumbersAndDatesAsTheUserWritesThem) {
  Win32NumberFormat numbers;
  EXPECT_EQ(numbers.DecimalSeparator(), ".");
  EXPECT_EQ(numbers.ThousandsSeparator(), ",");
  EXPECT_EQ(numbers.GroupSize(), 3);
  EXPECT_TRUE(numbers.LeadingZero());

  Win32Clock clock;
  EXPECT_EQ(clock.FormatGeneralDate({2026, 12, 4, 11, 38, 56}), "12/4/2026 11:38:56 AM");
  EXPECT_EQ(clock.FormatGeneralDate({2026, 12, 4, 0, 0, 0}), "12/4/2026") << "the date alone at midnight";
  const LocalDateTime now = clock.Now();
  EXPECT_GE(now.year, 2026);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
}

}  // namespace
}  // namespace dwl::win32
