// Values as the tagged files write them: whole numbers in decimal, flags as
// "True" and "False". Locale-free, so files read the same everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace dwl {

// Decimal text, optionally signed and with a fraction (rounded half to even),
// blanks around it allowed. Throws errc::kTypeMismatch for anything else and
// errc::kOverflow outside the 32-bit range.
std::int32_t ToWholeNumber(const std::string& text);

// "True" or "False" in any letter case, or a number where non-zero is true.
// Throws errc::kTypeMismatch for anything else.
bool ToFlag(const std::string& text);

std::string FlagText(bool value);

// `text` with A to Z as a to z; other bytes (any code page) unchanged.
std::string LowerCaseAscii(std::string text);

}  // namespace dwl
