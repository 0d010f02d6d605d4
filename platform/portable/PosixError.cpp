#include "platform/portable/PosixError.h"

#include <cerrno>
#include <cstring>

namespace dwl::portable {

Error PosixError(int errnoValue, const std::string& source, const std::string& path) {
  long number = errc::kPathFileAccess;
  switch (errnoValue) {
    case ENOENT: number = errc::kFileNotFound; break;
    case ENOTDIR: number = errc::kPathNotFound; break;
    case EACCES:
    case EPERM: number = errc::kPermissionDenied; break;
    case EEXIST: number = errc::kFileAlreadyExists; break;
    case ENOSPC:
    case EDQUOT: number = errc::kDiskFull; break;
    case ENAMETOOLONG: number = errc::kBadFileName; break;
    case ENOMEM: number = errc::kOutOfMemory; break;
    default: break;
  }
  std::string description = std::strerror(errnoValue);
  if (!path.empty()) description += ": " + path;
  return Error(number, source, description);
}

}  // namespace dwl::portable
