#include "platform/win32/Win32CodePage.h"

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace dwl::win32 {
namespace {

// 1252 whatever the machine's own ANSI code page is.
TEST(Win32CodePageTest, WesternCodePageKeepsItsLettersAndMarksOthersWithoutBestFit) {
  Win32CodePage western(1252);
  EXPECT_EQ(western.ToAnsi("böb €"), "b\xF6" "b \x80");
  EXPECT_EQ(western.FromAnsi("b\xF6" "b \x80"), "böb €");
  EXPECT_TRUE(western.Holds("böb €"));
  EXPECT_EQ(western.ToAnsi("Łódź"), "?\xF3" "d?") << "best fit would write Lodz";
  EXPECT_FALSE(western.Holds("Łódź"));
  EXPECT_FALSE(western.Holds("b\xFF" "b")) << "invalid UTF-8 is no letter";
  EXPECT_EQ(western.ToAnsi(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// UTF-8 as the ANSI code page (a newer Windows option) takes no conversion
// flags; every character fits.
TEST(Win32CodePageTest, Utf8AndUnknownCodePages) {
  Win32CodePage utf8(65001);
  EXPECT_TRUE(utf8.Holds("Łódź ☃ 日本"));
  EXPECT_EQ(utf8.ToAnsi("Łódź ☃"), "Łódź ☃");
  try {
    Win32CodePage unknown(12345);
    ADD_FAILURE() << "an unknown code page was taken";
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), errc::kInvalidCall);
  }
}

}  // namespace
}  // namespace dwl::win32
