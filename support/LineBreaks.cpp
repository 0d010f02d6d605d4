#include "support/LineBreaks.h"

namespace dwl {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c != '\r' && c != '\n') {
      lines.back() += c;
      continue;
    }
    if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    lines.emplace_back();
  }
  return lines;
}

std::string OneLine(std::string_view text) {
  const std::vector<std::string> lines = SplitLines(text);
  std::string line = lines.front();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    line += ' ';
    line += lines[i];
  }
  return line;
}

}  // namespace dwl
