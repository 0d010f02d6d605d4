// The transfer protocol's wire format: command lines, reply fields and the
// byte blocks around a file, for the client (ServerCommunicator) and the
// reference server alike. Plain functions without I/O; numbers are written
// and read in the C locale, whatever the user's locale.
//
// A command is one line: a word of four capital letters, a blank and its
// fields separated by ", ", then CR LF. A reply begins with a three-digit code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dwl::protocol {

inline constexpr std::string_view kLineEnd = "\r\n";
// Sent before the first file bytes of every attachment, new or resumed.
inline constexpr std::size_t kZeroBlockSize = 1024;
// Sent after the last byte of a file: "FINA" CR LF, as bytes.
inline constexpr std::string_view kEndOfFileMarker = "FINA\r\n";
// A 410 reply holds the new attachment's id from its 25th character on.
inline constexpr std::size_t kAttachmentIdColumn = 24;
// A 430 reply holds the bytes the server has from its 27th character on.
inline constexpr std::size_t kResumeOffsetColumn = 26;

// "WORD" CR LF, or "WORD field, field" CR LF. A field goes out on one line
// (OneLine), so that it can never end the line and smuggle in a command.
std::string CommandLine(std::string_view word, std::initializer_list<std::string_view> fields = {});
// A byte count as the NEWM line writes it: plain digits for whole numbers.
std::string SizeText(double size);

// The code: the reply's first three characters.
std::string ReplyCode(std::string_view reply);
// Whether the reply refuses what it answers: its code begins with "5". The
// positive codes are 2xx, 3xx and the 4xx that answer NEWA and RESA.
bool IsRefusal(std::string_view reply);
// The text after the reply's last blank, or the whole reply without one; a
// line end stays part of it.
std::string LastWord(std::string_view reply);
// Whether a greeting lets the client send a command before the answer to
// the one before: a 220 line whose last word is "PIPELINING".
bool OffersPipelining(std::string_view greeting);
// `text` without its trailing CR LF, if any.
std::string_view WithoutLineEnd(std::string_view text);

// The id in a 410 reply; nullopt when the reply has no text after its prefix.
std::optional<std::string> AttachmentId(std::string_view reply);
// The byte count in a 430 reply; nullopt unless a whole number from 0 to
// 2^63 - 2 follows the prefix (blanks and the line end around it allowed).
std::optional<std::uint64_t> ResumeOffset(std::string_view reply);

// The two values of the answer to FINM: "250 12.5, 3" CR LF; nullopt unless
// both are there, the megabytes a finite number and neither below 0.
struct FinishValues {
  double megabytes = 0;
  std::int32_t files = 0;
};
std::optional<FinishValues> ParseFinishReply(std::string_view reply);

// Replies of the server, built here so that their columns match the parsers.
std::string AttachmentCreatedReply(std::string_view id);
std::string AttachmentResumedReply(std::uint64_t bytesHeld);
std::string FinishReply(double megabytes, std::int32_t files);

// A command line taken apart: its word and its fields, split at ", ".
struct Command {
  std::string word;
  std::vector<std::string> fields;
};
Command ParseCommandLine(std::string_view line);

// The body's lines: split at every CR LF (a trailing CR LF ends in an empty line).
std::vector<std::string> BodyLines(std::string_view body);
// The line that ends the body on the wire: "FINB", exactly.
inline constexpr std::string_view kBodyEnd = "FINB";
// A body line as the client sends it: a line of "FINB" and none or more
// blanks gets one blank more (as a queue file writes a "</Body>" line), so
// that no body line ends the body early; every other line goes as it is.
std::string BodyLineOut(std::string_view line);
// A body line as the server keeps it (any line but kBodyEnd): a line of
// "FINB" and one or more blanks loses one blank.
std::string BodyLineIn(std::string_view line);
// Whether the body holds nothing but blanks and CR LF pairs.
bool BodyIsEmpty(std::string_view body);

}  // namespace dwl::protocol
