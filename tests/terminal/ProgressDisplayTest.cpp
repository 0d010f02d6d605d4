#include "apps/terminal/ProgressDisplay.h"

#include <gtest/gtest.h>

#include <sstream>

#include "apps/terminal/SizeText.h"

namespace dwl::terminal {
namespace {

std::size_t Columns(const std::string& text) {
  std::size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return columns;
}

TEST(SizeTextTest, SmallSizesInBytesLargerOnesInLabelledBinaryUnitsAndRightPlurals) {
  EXPECT_EQ(SizeText(0), "0 bytes");
  EXPECT_EQ(SizeText(1), "1 byte");
  EXPECT_EQ(SizeText(6), "6 bytes");
  EXPECT_EQ(SizeText(1023), "1023 bytes");
  EXPECT_EQ(SizeText(1024), "1.0 KiB");
  EXPECT_EQ(SizeText(1048575), "1.0 MiB") << "never 1024.0 KiB";
  EXPECT_EQ(SizeText(30 * 1048576.0), "30.0 MiB");
  EXPECT_EQ(SizeText(1.5 * 1073741824.0), "1.50 GiB");
  EXPECT_EQ(SizeText(-5), "0 bytes");
  EXPECT_EQ(RateText(2.5 * 1048576), "2.5 MiB/s");
  EXPECT_EQ(UploadedSize(0.00, 3), "3 bytes") << "the server's two decimals hide small files";
  EXPECT_EQ(UploadedSize(2.86, 3000000), "2.9 MiB");
  EXPECT_EQ(UploadedSize(1.00, 3000000), "1.0 MiB by the server's count (2.9 MiB sent)");
  EXPECT_EQ(Counted(1, "file"), "1 file");
  EXPECT_EQ(Counted(0, "file"), "0 files");
  EXPECT_EQ(ClockText(7), "0:07");
  EXPECT_EQ(ClockText(3723), "1:02:03");
}

// Whatever the width, the line stays on one line of the terminal: the name
// gives up its middle, the bar goes on narrow ones.
TEST(ProgressDisplayTest, TheLineFitsTheTerminalAndTellsBytesDoneOfTheSize) {
  const std::string name = "holiday-photos-from-the-whole-summer-of-2026-ÄÖÜ-final.zip";
  for (const std::size_t width : {20, 40, 49, 50, 80, 120, 300}) {
    SCOPED_TRACE(width);
    const std::string line = ProgressDisplay::BarLine(name, 12.5 * 1048576, 25 * 1048576, 1048576, width);
    EXPECT_LE(Columns(line), width - 1);
    const std::string shortName = ProgressDisplay::BarLine("big.bin", 0, 100, 0, width);
    EXPECT_EQ(shortName.find('[') != std::string::npos, width >= ProgressDisplay::kNarrow) << shortName;
    if (width >= 40) {
      EXPECT_NE(line.find(" 50 %  12.5 MiB of 25.0 MiB"), std::string::npos) << line;
    }
  }
  const std::string wide = ProgressDisplay::BarLine(name, 0, 100, 0, 300);
  EXPECT_EQ(wide.rfind(name, 0), 0u) << "room enough: the whole name";
  EXPECT_EQ(wide.find("left"), std::string::npos) << "no time left without a rate";
  const std::string cut = ProgressDisplay::BarLine(name, 0, 100, 0, 80);
  EXPECT_EQ(cut.rfind("holiday", 0), 0u) << cut;
  EXPECT_NE(cut.find("..."), std::string::npos) << cut;
  EXPECT_NE(cut.find("final.zip ["), std::string::npos) << "the end of the name stays: " << cut;
}

TEST(ProgressDisplayTest, AResumedFileStartsWhereTheServerStoodAndTheSummaryCountsWhatWasSent) {
  std::ostringstream out;
  std::size_t width = 120;
  ProgressDisplay display(out, true, [&] { return width; });
  display.StartFile("big\x1b[2J.bin", 100 * 1048576.0, 49 * 1048576.0);
  EXPECT_NE(out.str().find("resuming big?[2J.bin at 49 %\n"), std::string::npos) << "named cleaned: " << out.str();
  EXPECT_EQ(display.FileState(), "big?[2J.bin 49 %");
  out.str("");
  width = 40;
  display.Update(1048576.0);
  EXPECT_EQ(out.str().rfind('\r', 0), 0u);
  EXPECT_TRUE(out.str().ends_with("\033[K")) << "the rest of an older, longer line is cleared";
  EXPECT_NE(out.str().find("50 %"), std::string::npos) << out.str();
  out.str("");
  display.FinishFile();
  EXPECT_EQ(out.str(), "") << "the summary waits for the last byte";
  display.AllSent();
  EXPECT_NE(out.str().find("100 %"), std::string::npos) << out.str();
  out.str("");
  display.FinishFile();
  EXPECT_EQ(out.str().rfind("\r\033[Ksent big?[2J.bin: 51.0 MiB (the server held 49.0 MiB) in ", 0), 0u) << out.str();
  EXPECT_EQ(display.FileState(), std::nullopt);
}

}  // namespace
}  // namespace dwl::terminal
