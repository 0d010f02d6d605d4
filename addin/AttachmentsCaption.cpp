#include "addin/AttachmentsCaption.h"

#include <algorithm>

#include "support/NumberText.h"

namespace dwl {

std::string AttachmentsCaption(int files, double bytes) {
  // No grouping: grouping followed by the "," rule would turn 1234.5 into "1.234.5".
  std::string size = FormatNumber(bytes / kBytesPerMB, 1, false);
  std::replace(size.begin(), size.end(), ',', '.');
  return " Dropwell: " + std::to_string(files) + " files, " + size + " MB";
}

}  // namespace dwl
