#include "transfer/TransferProtocol.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "support/LineBreaks.h"

namespace dwl::protocol {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Blanks, CR and LF around a number.
std::string_view TrimNumber(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

template <class Number>
std::optional<Number> WholeText(std::string_view text) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

}  // namespace

std::string CommandLine(std::string_view word, std::initializer_list<std::string_view> fields) {
  std::string line(word);
  const char* separator = " ";
  for (const std::string_view field : fields) {
    line += separator;
    separator = ", ";
    line += OneLine(field);
  }
  line += kLineEnd;
  return line;
}

std::string SizeText(double size) {
  if (std::isfinite(size) && size == std::floor(size)) return Fixed(size, 0);
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, size, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

std::string ReplyCode(std::string_view reply) { return std::string(reply.substr(0, 3)); }

bool IsRefusal(std::string_view reply) { return !reply.empty() && reply.front() == '5'; }

std::string LastWord(std::string_view reply) {
  const auto blank = reply.rfind(' ');
  return std::string(blank == std::string_view::npos ? reply : reply.substr(blank + 1));
}

bool OffersPipelining(std::string_view greeting) {
  return ReplyCode(greeting) == "220" && LastWord(TrimBlanks(WithoutLineEnd(greeting))) == "PIPELINING";
}

std::string_view WithoutLineEnd(std::string_view text) {
  if (text.size() >= 2 && text.substr(text.size() - 2) == kLineEnd) text.remove_suffix(2);
  return text;
}

std::optional<std::string> AttachmentId(std::string_view reply) {
  if (reply.size() <= kAttachmentIdColumn) return std::nullopt;
  std::string id;
  std::string_view rest = reply.substr(kAttachmentIdColumn);
  for (std::size_t at = 0; at < rest.size(); ++at) {
    if (rest.substr(at, 2) == kLineEnd) {
      ++at;
      continue;
    }
    id += rest[at];
  }
  if (id.empty()) return std::nullopt;
  return id;
}

std::optional<std::uint64_t> ResumeOffset(std::string_view reply) {
  if (reply.size() <= kResumeOffsetColumn) return std::nullopt;
  const std::string_view digits = TrimNumber(reply.substr(kResumeOffsetColumn));
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) return std::nullopt;
  const std::optional<std::uint64_t> offset = WholeText<std::uint64_t>(digits);
  // The client's read position is the offset + 1, a signed 64-bit number.
  if (!offset || *offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - 1)) {
    return std::nullopt;
  }
  return offset;
}

std::optional<FinishValues> ParseFinishReply(std::string_view reply) {
  if (reply.size() <= 4) return std::nullopt;
  const std::string_view rest = reply.substr(4);
  const auto comma = rest.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const std::string_view first = TrimNumber(rest.substr(0, comma));
  std::string_view second = rest.substr(comma + 1);
  if (const auto more = second.find(','); more != std::string_view::npos) second = second.substr(0, more);
  second = TrimNumber(second);

  FinishValues values;
  const char* firstEnd = first.data() + first.size();
  const auto parsed = std::from_chars(first.data(), firstEnd, values.megabytes);
  if (first.empty() || parsed.ec != std::errc() || parsed.ptr != firstEnd) return std::nullopt;
  if (!std::isfinite(values.megabytes) || values.megabytes < 0) return std::nullopt;
  const std::optional<std::int32_t> files = WholeText<std::int32_t>(second);
  if (!files || *files < 0) return std::nullopt;
  values.files = *files;
  return values;
}

std::string AttachmentCreatedReply(std::string_view id) {
  std::string reply = "410 Attachment created: ";  // the id's column
  reply += id;
  reply += kLineEnd;
  return reply;
}

std::string AttachmentResumedReply(std::uint64_t bytesHeld) {
  return "430 Attachment resumed at " + std::to_string(bytesHeld) + std::string(kLineEnd);
}

std::string FinishReply(double megabytes, std::int32_t files) {
  return "250 " + Fixed(megabytes, 2) + ", " + std::to_string(files) + std::string(kLineEnd);
}

Command ParseCommandLine(std::string_view line) {
  line = WithoutLineEnd(line);
  Command command;
  const auto blank = line.find(' ');
  command.word = std::string(line.substr(0, blank));
  if (blank == std::string_view::npos) return command;
  std::string_view rest = line.substr(blank + 1);
  for (;;) {
    const auto separator = rest.find(", ");
    command.fields.emplace_back(rest.substr(0, separator));
    if (separator == std::string_view::npos) break;
    rest.remove_prefix(separator + 2);
  }
  return command;
}

std::vector<std::string> BodyLines(std::string_view body) {
  std::vector<std::string> lines;
  for (;;) {
    const auto end = body.find(kLineEnd);
    lines.emplace_back(body.substr(0, end));
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + 2);
  }
  return lines;
}

namespace {

// Whether `line` is "FINB" and at least `blanks` blanks, and nothing else.
bool BodyEndWithBlanks(std::string_view line, std::size_t blanks) {
  if (line.size() < kBodyEnd.size() + blanks || line.substr(0, kBodyEnd.size()) != kBodyEnd) return false;
  return line.find_first_not_of(' ', kBodyEnd.size()) == std::string_view::npos;
}

}  // namespace

std::string BodyLineOut(std::string_view line) {
  std::string out(line);
  if (BodyEndWithBlanks(line, 0)) out += ' ';
  return out;
}

std::string BodyLineIn(std::string_view line) {
  if (BodyEndWithBlanks(line, 1)) line.remove_suffix(1);
  return std::string(line);
}

bool BodyIsEmpty(std::string_view body) {
  std::string text;
  for (const std::string& line : BodyLines(body)) text += line;
  return TrimBlanks(text).empty();
}

}  // namespace dwl::protocol
