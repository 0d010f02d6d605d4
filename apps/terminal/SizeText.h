// Sizes, rates, times and counts as the programs print them: one way for all,
// units labelled as they are (KiB is 1024 bytes), small files in bytes, and
// the right plural.
#pragma once

#include <cstdint>
#include <string>

namespace dwl::terminal {

// "0 bytes", "1 byte", "1023 bytes", "1.5 KiB", "12.3 MiB", "1.50 GiB".
std::string SizeText(double bytes);
// SizeText per second.
std::string RateText(double bytesPerSecond);
// "0:07", "12:34", "1:02:03".
std::string ClockText(double seconds);
// An uploaded e-mail's size: the `bytes` the client sent, unless the server's
// count (megabytes of 2^20 bytes, to two decimals) tells another size.
std::string UploadedSize(double serverMegabytes, double bytes);
// "1 file", "2 files".
std::string Counted(std::int64_t count, const std::string& noun);

}  // namespace dwl::terminal
