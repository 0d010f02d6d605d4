// Shell special folders.
#pragma once

#include <cstdint>
#include <string>

namespace dwl {

// The path of special folder `lngFolderId` (csidl::kPersonal, csidl::kAppData)
// without a trailing separator, or "" when the system cannot resolve it. Other
// failures reach the caller with the source prefixed "FindSystemFolder::".
std::string FindSystemFolder(std::int32_t lngFolderId);

}  // namespace dwl
