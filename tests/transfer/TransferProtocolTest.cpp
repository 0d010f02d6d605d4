#include "transfer/TransferProtocol.h"

#include <gtest/gtest.h>

#include <locale>

#include "transfer/LineFramer.h"

namespace dwl {
namespace {

using namespace protocol;
using Lines = std::vector<std::string>;

// A locale that writes 1.234,5: what a German user has.
struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(TransferProtocolTest, NumbersAreWrittenAndReadTheSameWhateverTheLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
  EXPECT_EQ(SizeText(5368709120.0), "5368709120");
  EXPECT_EQ(SizeText(1e15), "1000000000000000");
  EXPECT_EQ(SizeText(2.5), "2.5");
  const std::optional<FinishValues> values = ParseFinishReply(FinishReply(1234.5, 3));
  std::locale::global(previous);
  ASSERT_TRUE(values);
  EXPECT_EQ(values->megabytes, 1234.5);
  EXPECT_EQ(values->files, 3);
}

// The client's use of them, short and malformed replies included, is
// ServerCommunicatorTest's; here, the columns' edges.
TEST(TransferProtocolTest, RepliesComeApartAtTheirColumns) {
  EXPECT_EQ(AttachmentId(std::string(24, 'x') + "\r\n"), std::nullopt) << "no id at all";
  for (const std::uint64_t held : {0ULL, 2147483648ULL, 4294967301ULL}) {
    EXPECT_EQ(ResumeOffset(AttachmentResumedReply(held)), held);
  }
  // Resume offsets are whole numbers that the read position holds.
  const std::string prefix(26, 'x');
  EXPECT_EQ(ResumeOffset(prefix + " 12 \r\n"), 12u);
  for (const std::string rest : {"", "12kB", "-1", "+1", "9223372036854775807", "99999999999999999999"}) {
    EXPECT_EQ(ResumeOffset(prefix + rest + "\r\n"), std::nullopt) << rest;
  }
  EXPECT_EQ(ResumeOffset("430 resumed\r\n"), std::nullopt) << "shorter than the prefix";
}

TEST(TransferProtocolTest, OnlyA220LineEndingInTheWordOffersPipelining) {
  for (const std::string greeting : {"220 Dropwell transfer server ready PIPELINING\r\n", "220 PIPELINING", "220 ready PIPELINING  \r\n"}) {
    EXPECT_TRUE(OffersPipelining(greeting)) << greeting;
  }
  for (const std::string greeting : {"220 Dropwell transfer server ready\r\n", "220 PIPELINING later\r\n", "220 NOPIPELINING\r\n",
                                     "220 ready pipelining\r\n", "220PIPELINING\r\n", "250 ready PIPELINING\r\n", "22"}) {
    EXPECT_FALSE(OffersPipelining(greeting)) << greeting;
  }
}

TEST(TransferProtocolTest, FinishRepliesNeedTwoNumbersNeitherBelowZero) {
  EXPECT_TRUE(ParseFinishReply("250 0, 0\r\n") && ParseFinishReply("999 0,0"));
  for (const std::string reply : {"250 12.5\r\n", "250 twelve, 3\r\n", "250 12.5, 3 files\r\n", "250 12.5, 99999999999\r\n",
                                  "250\r\n", "250 nan, 3\r\n", "250 inf, 3\r\n", "250 -1, 3\r\n", "250 1, -3\r\n"}) {
    EXPECT_FALSE(ParseFinishReply(reply)) << reply;
  }
}

TEST(TransferProtocolTest, BodiesSplitAtEveryCrLfAndNoLineEndsTheBody) {
  for (const std::string line : {"FINB", "FINB ", "FINB   "}) {
    EXPECT_EQ(BodyLineOut(line), line + " ");
    EXPECT_EQ(BodyLineIn(BodyLineOut(line)), line) << "the server gives back the line";
  }
  for (const std::string line : {"", " ", "FINBx", " FINB", "FINB x", "finb", "FIN", "RECP x@example.org", "FINM"}) {
    EXPECT_EQ(BodyLineOut(line), line);
    EXPECT_EQ(BodyLineIn(line), line);
  }
  EXPECT_EQ(BodyLines("a\nb"), Lines{"a\nb"});
  EXPECT_FALSE(BodyIsEmpty(" \r\n.\r\n"));
}

TEST(LineFramerTest, RepliesSplitOrJoinedByTcpComeOutOneLineEach) {
  LineFramer framer;
  framer.Append("210 Wel");
  EXPECT_EQ(framer.NextLine(), std::nullopt);
  framer.Append("come abc\r");
  EXPECT_EQ(framer.NextLine(), std::nullopt) << "a CR alone does not end a line";
  framer.Append("\n310 ok\r\n350");
  EXPECT_EQ(framer.NextLine(), "210 Welcome abc\r\n");
  EXPECT_EQ(framer.NextLine(), "310 ok\r\n");
  EXPECT_EQ(framer.NextLine(), std::nullopt);
  framer.Append(std::string(" ok\r\n\0\0FIN", 10));
  EXPECT_EQ(framer.NextLine(), "350 ok\r\n");
  EXPECT_EQ(framer.TakeRest(), std::string("\0\0FIN", 5));
  EXPECT_EQ(framer.NextLine(), std::nullopt);
}

TEST(LineFramerTest, AnEndlessLineIsTooLong) {
  LineFramer framer(16);
  framer.Append("0123456789abcdef");
  EXPECT_FALSE(framer.TooLong());
  framer.Append("g");
  EXPECT_EQ(framer.NextLine(), std::nullopt);
  EXPECT_TRUE(framer.TooLong());
}

}  // namespace
}  // namespace dwl
