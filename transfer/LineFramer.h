// Cuts a received byte stream into lines that end in CR LF; each line keeps
// its CR LF. TCP may split a line over several reads or join several lines
// in one, so what comes after the last CR LF waits for the next Append.
// Plain value, no I/O.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dwl {

class LineFramer {
 public:
  // A line longer than `maxLine` bytes without its CR LF makes TooLong true.
  explicit LineFramer(std::size_t maxLine = std::size_t{64} * 1024) : maxLine_(maxLine) {}

  void Append(std::string_view data) { pending_.append(data); }
  // The next whole line with its CR LF, or nullopt until one is there.
  std::optional<std::string> NextLine();
  // Whether the data after the last whole line is longer than a line may be.
  bool TooLong() const { return pending_.size() - consumed_ > maxLine_; }
  // The bytes after the last line taken; the framer is empty afterwards.
  std::string TakeRest();
  void Clear();

 private:
  std::size_t maxLine_;
  std::string pending_;
  std::size_t consumed_ = 0;  // bytes of pending_ already handed out as lines
  std::size_t searchFrom_ = 0;
};

}  // namespace dwl
