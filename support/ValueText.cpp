#include "support/ValueText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "platform/Error.h"

namespace dwl {

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

Error TypeMismatch(const std::string& text) {
  return Error(errc::kTypeMismatch, "ValueText", "Type mismatch: \"" + text + "\"");
}

// Parses [+-]digits[.digits] exactly; no exponents, no locale.
bool ParseDecimal(const std::string& text, double& value) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digitsStart = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  bool anyDigit = i > digitsStart;
  if (i < text.size() && text[i] == '.') {
    ++i;
    const std::size_t fractionStart = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    anyDigit = anyDigit || i > fractionStart;
  }
  if (!anyDigit || i != text.size()) return false;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const auto result = std::from_chars(begin, text.data() + text.size(), value);
  return result.ec == std::errc() || result.ec == std::errc::result_out_of_range;
}

}  // namespace

std::int32_t ToWholeNumber(const std::string& text) {
  double value = 0;
  if (!ParseDecimal(Trimmed(text), value)) throw TypeMismatch(text);
  const double whole = std::nearbyint(value);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) {
    throw Error(errc::kOverflow, "ValueText", "Overflow: \"" + text + "\"");
  }
  return static_cast<std::int32_t>(whole);
}

bool ToFlag(const std::string& text) {
  const std::string word = LowerCaseAscii(Trimmed(text));
  if (word == "true") return true;
  if (word == "false") return false;
  double value = 0;
  if (!ParseDecimal(word, value)) throw TypeMismatch(text);
  return value != 0;
}

std::string FlagText(bool value) { return value ? "True" : "False"; }

std::string LowerCaseAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace dwl
