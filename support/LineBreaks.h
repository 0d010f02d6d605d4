// The one rule for line breaks in text the core stores, sends or shows: a
// CR LF pair is one break, and so is a lone CR or a lone LF. Plain functions
// without I/O, for text in any 8-bit code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dwl {

// The lines of `text`, without their breaks. Empty text is one empty line;
// a break at the end is followed by an empty line.
std::vector<std::string> SplitLines(std::string_view text);

// `text` with each break as one blank: a value that must stay on its own line
// (a stored setting, a queue file entry, a command's field, a log line), so
// that it can never start a line, or an entry or a command, of its own.
std::string OneLine(std::string_view text);

}  // namespace dwl
