// Small helpers that the dwl subcommands share for reading their arguments.
#pragma once

#include <charconv>
#include <ostream>
#include <string>

namespace dwl::cli {

// Wrong usage: one line naming the subcommand and the problem; returns exit code 2.
inline int UsageError(std::ostream& err, const char* subcommand, const std::string& problem) {
  err << "dwl " << subcommand << ": " << problem << " (see dwl " << subcommand << " --help)\n";
  return 2;
}

// The whole of `text` as a decimal number that fits `Number`.
template <class Number>
bool ParseNumber(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

}  // namespace dwl::cli
