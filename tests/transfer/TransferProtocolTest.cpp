#include "transfer/TransferProtocol.h"

#include <gtest/gtest.h>

#include <locale>

#include "transfer/LineFramer.h"

namespace dwl {
namespace {

using namespace protocol;

// A locale that writes 1.234,5: what a German user has.
struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

class ScopedGlobalLocale {
 public:
  explicit ScopedGlobalLocale(const std::locale& locale) : previous_(std::locale::global(locale)) {}
  ~ScopedGlobalLocale() { std::locale::global(previous_); }

 private:
  std::locale previous_;
};

TEST(TransferProtocolTest, CommandLinesSeparateFieldsAndEndInCrLf) {
  EXPECT_EQ(CommandLine("FINM"), "FINM\r\n");
  EXPECT_EQ(CommandLine("HELO", {"3002002"}), "HELO 3002002\r\n");
  EXPECT_EQ(CommandLine("NEWA", {"report, final.pdf", "0"}), "NEWA report, final.pdf, 0\r\n");
}

TEST(TransferProtocolTest, LineBreaksInsideAFieldGoOutAsBlanks) {
  EXPECT_EQ(CommandLine("SUBJ", {"Hello\r\nQUIT"}), "SUBJ Hello QUIT\r\n");
  EXPECT_EQ(CommandLine("RECP", {"a@example.org\nRECP evil@example.org"}),
            "RECP a@example.org RECP evil@example.org\r\n");
  EXPECT_EQ(CommandLine("LOGN", {"alice\r", "pass\nword"}), "LOGN alice , pass word\r\n");
}

TEST(TransferProtocolTest, SizesAreDigitsWhateverTheLocale) {
  ScopedGlobalLocale german(std::locale(std::locale::classic(), new CommaDecimals));
  EXPECT_EQ(SizeText(0), "0");
  EXPECT_EQ(SizeText(5242881), "5242881");
  EXPECT_EQ(SizeText(5368709120.0), "5368709120");
  EXPECT_EQ(SizeText(1e15), "1000000000000000");
  EXPECT_EQ(SizeText(2.5), "2.5");
  const std::optional<FinishValues> values = ParseFinishReply("250 1234.5, 3\r\n");
  ASSERT_TRUE(values);
  EXPECT_EQ(values->megabytes, 1234.5);
  EXPECT_EQ(FinishReply(1234.5, 3), "250 1234.50, 3\r\n");
}

TEST(TransferProtocolTest, TheLastWordKeepsTheLineEnd) {
  EXPECT_EQ(LastWord("310 E-mail accepted 4711\r\n"), "4711\r\n");
  EXPECT_EQ(LastWord("310\r\n"), "310\r\n");
  EXPECT_EQ(LastWord("210 Welcome "), "");
  EXPECT_EQ(ReplyCode("41"), "41");
}

TEST(TransferProtocolTest, AttachmentIdsStartAtThe25thCharacter) {
  EXPECT_EQ(AttachmentId("410 Attachment created: ABC\r\n"), "ABC");
  EXPECT_EQ(AttachmentId(std::string(24, 'x') + "ABC\r\n"), "ABC");
  EXPECT_EQ(AttachmentId(AttachmentCreatedReply("A-1")), "A-1");
  EXPECT_EQ(AttachmentId("410 short\r\n"), std::nullopt);
  EXPECT_EQ(AttachmentId(std::string(24, 'x') + "\r\n"), std::nullopt) << "no id at all";
}

TEST(TransferProtocolTest, ResumeOffsetsStartAtThe27thCharacterAndGoBeyond32Bits) {
  EXPECT_EQ(ResumeOffset("430 Attachment resumed at 1048576\r\n"), 1048576u);
  EXPECT_EQ(ResumeOffset(AttachmentResumedReply(0)), 0u);
  EXPECT_EQ(ResumeOffset(AttachmentResumedReply(2147483648ULL)), 2147483648ULL);
  EXPECT_EQ(ResumeOffset(AttachmentResumedReply(4294967301ULL)), 4294967301ULL);
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + " 12 \r\n"), 12u);
  EXPECT_EQ(ResumeOffset("430 resumed\r\n"), std::nullopt) << "shorter than the prefix";
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + "\r\n"), std::nullopt);
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + "12kB\r\n"), std::nullopt);
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + "-1\r\n"), std::nullopt);
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + "+1\r\n"), std::nullopt);
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + "9223372036854775807\r\n"), std::nullopt)
      << "one more than the read position can hold";
  EXPECT_EQ(ResumeOffset(std::string(26, 'x') + "99999999999999999999\r\n"), std::nullopt);
}

TEST(TransferProtocolTest, FinishRepliesNeedTwoNumbers) {
  const std::optional<FinishValues> values = ParseFinishReply("250 12.5, 3\r\n");
  ASSERT_TRUE(values);
  EXPECT_EQ(values->megabytes, 12.5);
  EXPECT_EQ(values->files, 3);
  EXPECT_TRUE(ParseFinishReply("999 0,0"));
  EXPECT_FALSE(ParseFinishReply("250 12.5\r\n"));
  EXPECT_FALSE(ParseFinishReply("250 twelve, 3\r\n"));
  EXPECT_FALSE(ParseFinishReply("250 12.5, 3 files\r\n"));
  EXPECT_FALSE(ParseFinishReply("250 12.5, 99999999999\r\n"));
  EXPECT_FALSE(ParseFinishReply("250\r\n"));
  EXPECT_FALSE(ParseFinishReply("250 nan, 3\r\n")) << "the megabytes are a finite number";
  EXPECT_FALSE(ParseFinishReply("250 inf, 3\r\n"));
  EXPECT_FALSE(ParseFinishReply("250 -1, 3\r\n")) << "no value below 0";
  EXPECT_FALSE(ParseFinishReply("250 1, -3\r\n"));
  EXPECT_TRUE(ParseFinishReply("250 0, 0\r\n"));
}

TEST(TransferProtocolTest, RefusalsAreRepliesBeginningWith5) {
  EXPECT_TRUE(IsRefusal("552 Cannot write the file\r\n"));
  EXPECT_TRUE(IsRefusal("5"));
  EXPECT_FALSE(IsRefusal("451 Try later\r\n"));
  EXPECT_FALSE(IsRefusal("250 ok\r\n"));
  EXPECT_FALSE(IsRefusal(" 552"));
  EXPECT_FALSE(IsRefusal(""));
}

TEST(TransferProtocolTest, BodyLinesThatWouldEndTheBodyGetOneBlankMore) {
  for (const std::string line : {"FINB", "FINB ", "FINB   "}) {
    EXPECT_EQ(BodyLineOut(line), line + " ");
    EXPECT_EQ(BodyLineIn(BodyLineOut(line)), line) << "the server gives back the line";
  }
  for (const std::string line : {"", " ", "FINBx", " FINB", "FINB x", "finb", "FIN", "RECP x@example.org", "FINM"}) {
    EXPECT_EQ(BodyLineOut(line), line);
    EXPECT_EQ(BodyLineIn(line), line);
  }
  EXPECT_NE(BodyLineOut("FINB"), std::string(kBodyEnd)) << "no body line ends the body";
}

TEST(TransferProtocolTest, BodiesSplitAtEveryCrLf) {
  EXPECT_EQ(BodyLines("one\r\ntwo\r\nthree"), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(BodyLines("one\r\ntwo\r\nthree\r\n"),
            (std::vector<std::string>{"one", "two", "three", ""}));
  EXPECT_EQ(BodyLines("a\nb"), std::vector<std::string>{"a\nb"});
  EXPECT_TRUE(BodyIsEmpty(""));
  EXPECT_TRUE(BodyIsEmpty("  \r\n \r\n  "));
  EXPECT_FALSE(BodyIsEmpty(" \r\n.\r\n"));
}

TEST(TransferProtocolTest, CommandLinesAreTakenApart) {
  const Command newm = ParseCommandLine("NEWM 4711, 5242881, 1\r\n");
  EXPECT_EQ(newm.word, "NEWM");
  EXPECT_EQ(newm.fields, (std::vector<std::string>{"4711", "5242881", "1"}));
  EXPECT_EQ(ParseCommandLine("FINM\r\n").word, "FINM");
  EXPECT_TRUE(ParseCommandLine("FINM\r\n").fields.empty());
  EXPECT_EQ(ParseCommandLine("SUBJ \r\n").fields, std::vector<std::string>{""});
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
  framer.Append(" ok\r\n");
  EXPECT_EQ(framer.NextLine(), "350 ok\r\n");
}

TEST(LineFramerTest, TheRestAfterTheLastLineCanBeTaken) {
  LineFramer framer;
  framer.Append(std::string("NEWA a.bin, 0\r\n\0\0FIN", 20));
  EXPECT_EQ(framer.NextLine(), "NEWA a.bin, 0\r\n");
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
