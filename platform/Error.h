// The one error type of the system: a number, a source and a description.
// Backends turn native failures into it at their boundary; the core throws it
// and host-facing code collects it in tolerant mode (support/TolerantRun.h).
#pragma once

#include <stdexcept>
#include <string>

namespace dwl {

// Numbers kept from the host environment's run-time errors, so that log lines
// read the same on every platform.
namespace errc {
inline constexpr long kInvalidCall = 5;
inline constexpr long kOverflow = 6;
inline constexpr long kOutOfMemory = 7;
inline constexpr long kTypeMismatch = 13;
inline constexpr long kBadFileName = 52;
inline constexpr long kFileNotFound = 53;
inline constexpr long kFileAlreadyExists = 58;
inline constexpr long kDiskFull = 61;
inline constexpr long kInputPastEndOfFile = 62;
inline constexpr long kPermissionDenied = 70;
inline constexpr long kPathFileAccess = 75;
inline constexpr long kPathNotFound = 76;
inline constexpr long kMemberNotSupported = 438;  // "Object doesn't support this property or method"
inline constexpr long kUnknown = 440;
}  // namespace errc

class Error : public std::runtime_error {
 public:
  Error(long number, std::string source, std::string description);

  long Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

  // The same failure seen from an outer operation: source becomes prefix + source.
  Error WithSourcePrefix(const std::string& prefix) const;

 private:
  long number_;
  std::string source_;
  std::string description_;
};

}  // namespace dwl
