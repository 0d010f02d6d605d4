#include "apps/terminal/SizeText.h"

#include <cmath>
#include <cstdio>

namespace dwl::terminal {

std::string SizeText(double bytes) {
  if (!std::isfinite(bytes) || bytes < 0) bytes = 0;
  constexpr double kKiB = 1024;
  constexpr double kMiB = kKiB * 1024;
  constexpr double kGiB = kMiB * 1024;
  char text[48];
  // Switch units where the rounded figure would reach 1024 of the smaller one.
  if (bytes < kKiB) return Counted(static_cast<std::int64_t>(bytes), "byte");
  if (bytes < kMiB - kKiB / 20) {
    std::snprintf(text, sizeof text, "%.1f KiB", bytes / kKiB);
  } else if (bytes < kGiB - kMiB / 20) {
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / kMiB);
  } else {
    std::snprintf(text, sizeof text, "%.2f GiB", bytes / kGiB);
  }
  return text;
}

std::string RateText(double bytesPerSecond) { return SizeText(bytesPerSecond) + "/s"; }

std::string ClockText(double seconds) {
  const auto whole = std::isfinite(seconds) && seconds > 0 ? static_cast<std::int64_t>(seconds + 0.5) : 0;
  char text[48];
  if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                  static_cast<long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                  static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
  }
  return text;
}

std::string UploadedSize(double serverMegabytes, double bytes) {
  constexpr double kMiB = 1048576;
  const double counted = serverMegabytes * kMiB;
  // Two decimals of a mebibyte: within half a hundredth it is the same size.
  if (std::isfinite(counted) && std::abs(counted - bytes) <= kMiB / 200 + 1) return SizeText(bytes);
  return SizeText(counted) + " by the server's count (" + SizeText(bytes) + " sent)";
}

std::string Counted(std::int64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace dwl::terminal
