// A program's arguments in UTF-8. main()'s argv holds them in the ANSI code
// page, where a name outside it has already become '?'; the wide command
// line has them whole.
#pragma once

#include <string>
#include <vector>

namespace dwl::win32 {

// The arguments without the program's name.
std::vector<std::string> CommandLineArguments();

}  // namespace dwl::win32
