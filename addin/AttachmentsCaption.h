// The caption of the add-in's toolbar button.
#pragma once

#include <string>

namespace dwl {

inline constexpr double kBytesPerMB = 1048576;

// " Dropwell: <files> files, <size> MB": the size in MB with one decimal, the
// user's decimal separator and no digit grouping, every "," written ".".
std::string AttachmentsCaption(int files, double bytes);

}  // namespace dwl
