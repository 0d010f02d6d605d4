#include "apps/agent/ProgressDisplay.h"

#include <algorithm>
#include <cstdio>

namespace dwl::agent {

namespace {

constexpr double kMB = 1048576;
constexpr std::size_t kNameWidth = 28;
constexpr int kBarWidth = 20;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::string ProgressDisplay::BarLine(const std::string& name, double sent, double size,
                                     double seconds) {
  std::string shown = name.size() > kNameWidth ? name.substr(0, kNameWidth - 3) + "..." : name;
  shown.resize(kNameWidth, ' ');
  const double fraction = size > 0 ? std::clamp(sent / size, 0.0, 1.0) : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  const double rate = seconds > 0 ? sent / seconds : 0;
  char left[32] = "--:--";
  if (rate > 0) {
    const long remaining = static_cast<long>((size - sent) / rate + 0.5);
    std::snprintf(left, sizeof left, "%ld:%02ld", remaining / 60, remaining % 60);
  }
  char line[160];
  std::snprintf(line, sizeof line, "%s [%s%s] %3d%%  %6.1f MB/s  %s left", shown.c_str(),
                std::string(static_cast<std::size_t>(filled), '#').c_str(),
                std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(),
                static_cast<int>(fraction * 100), rate / kMB, left);
  return line;
}

void ProgressDisplay::ClearBar() {
  if (!barShown_) return;
  out_ << "\r\033[K";
  barShown_ = false;
}

void ProgressDisplay::Message(const std::string& line) {
  ClearBar();
  out_ << line << std::endl;
}

void ProgressDisplay::StartFile(const std::string& name, double bytes) {
  name_ = name;
  size_ = bytes;
  sent_ = 0;
  started_ = std::chrono::steady_clock::now();
  if (terminal_) Update(0);
}

void ProgressDisplay::Update(double sent) {
  sent_ = sent;
  if (!terminal_) return;
  out_ << "\r" << BarLine(name_, sent_, size_, SecondsSince(started_)) << std::flush;
  barShown_ = true;
}

void ProgressDisplay::FinishFile() {
  const double seconds = SecondsSince(started_);
  ClearBar();
  char line[200];
  std::snprintf(line, sizeof line, "sent %s (%.1f MB) in %.1f s", name_.c_str(), size_ / kMB, seconds);
  out_ << line << std::endl;
}

}  // namespace dwl::agent
