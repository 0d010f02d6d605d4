#include "support/LineBreaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dwl {
namespace {

struct Breaks {
  std::string text;
  std::vector<std::string> lines;
  std::string oneLine;
};

class LineBreaksTest : public ::testing::TestWithParam<Breaks> {};

TEST_P(LineBreaksTest, EachBreakIsOneLineEndOrOneBlank) {
  EXPECT_EQ(SplitLines(GetParam().text), GetParam().lines);
  EXPECT_EQ(OneLine(GetParam().text), GetParam().oneLine);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LineBreaksTest,
    ::testing::Values(Breaks{"", {""}, ""}, Breaks{"plain", {"plain"}, "plain"},
                      Breaks{"a\r\nb", {"a", "b"}, "a b"}, Breaks{"a\rb\nc", {"a", "b", "c"}, "a b c"},
                      Breaks{"a\n\rb", {"a", "", "b"}, "a  b"}, Breaks{"a\r\r\nb", {"a", "", "b"}, "a  b"},
                      Breaks{"end\r\n", {"end", ""}, "end "}, Breaks{"\r", {"", ""}, " "},
                      Breaks{"S\r\n<Recipient>\r\nevil", {"S", "<Recipient>", "evil"}, "S <Recipient> evil"}));

}  // namespace
}  // namespace dwl
