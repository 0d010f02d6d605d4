#include "apps/sim/SimScript.h"

#include <fstream>
#include <iterator>

#include "platform/Error.h"
#include "support/ValueText.h"

namespace dwl::cli {

void Require(bool condition, const std::string& message) {
  if (!condition) throw SimUsageError(message);
}

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Require(in.good() || in.eof(), "cannot read " + path);
  return bytes;
}

int WholeNumber(const std::string& text, const std::string& what) {
  try {
    return ToWholeNumber(text);
  } catch (const Error&) {
    throw SimUsageError(what + " takes a whole number, not '" + text + "'");
  }
}

// "name=value" words after the command.
std::optional<std::string> Option(const std::string& word, const std::string& name) {
  const std::string prefix = name + "=";
  if (word.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return word.substr(prefix.size());
}

std::vector<std::string> SplitScriptLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;  // the quote that is open, if any
  for (const char c : line) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else {
        word.push_back(c);
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
      inWord = true;
    } else if (c == '#') {
      break;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  Require(quote == 0, std::string("a ") + (quote == '"' ? "double" : "single") + " quote is not closed");
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace dwl::cli
