#include "apps/terminal/ProgressDisplay.h"

#include <algorithm>
#include <cstdio>

#include "apps/terminal/SizeText.h"
#include "support/ApplicationLog.h"

namespace dwl::terminal {

namespace {

constexpr std::size_t kDefaultWidth = 80;
constexpr std::size_t kBarCells = 20;
constexpr std::size_t kFewestBarCells = 5;
// A long name keeps at least this many columns before the figures give way,
// and gets this many before the bar does.
constexpr std::size_t kShortestName = 10;
constexpr std::size_t kNameBeforeBar = 24;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Continues(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Columns of UTF-8 text: one per character.
std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return !Continues(c); }));
}

// The byte where the `columns`-th character from the start begins.
std::size_t ByteOfColumn(const std::string& text, std::size_t columns) {
  std::size_t at = 0;
  for (std::size_t seen = 0; at < text.size(); ++at) {
    if (!Continues(text[at]) && seen++ == columns) break;
  }
  return at;
}

// `name` in at most `columns` columns, its middle given up for "...".
std::string Shortened(const std::string& name, std::size_t columns) {
  const std::size_t have = Columns(name);
  if (have <= columns) return name;
  if (columns <= 3) return std::string(columns, '.');
  const std::size_t head = (columns - 3 + 1) / 2;
  const std::size_t tail = columns - 3 - head;
  return name.substr(0, ByteOfColumn(name, head)) + "..." + name.substr(ByteOfColumn(name, have - tail));
}

}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, std::function<std::size_t()> width)
    : out_(out), terminal_(terminal), width_(std::move(width)) {}

std::size_t ProgressDisplay::Width() const {
  const std::size_t width = width_ ? width_() : 0;
  return width > 0 ? width : kDefaultWidth;
}

std::string ProgressDisplay::BarLine(const std::string& name, double done, double size, double bytesPerSecond,
                                     std::size_t width) {
  const double fraction = size > 0 ? std::clamp(done / size, 0.0, 1.0) : 1.0;
  char percent[16];
  std::snprintf(percent, sizeof percent, " %3d %%", static_cast<int>(fraction * 100));
  const std::string bytes = "  " + SizeText(std::min(done, size)) + " of " + SizeText(size);
  const std::string rate =
      bytesPerSecond > 0 ? "  " + RateText(bytesPerSecond) + "  " + ClockText((size - done) / bytesPerSecond) + " left"
                         : "";
  // The last column stays free: writing there wraps some terminals.
  const std::size_t room = std::max<std::size_t>(width, 2) - 1;
  // What gives way first when the line is too long: the rate and time, then
  // the bytes; the bar shrinks, and goes below kNarrow columns.
  const std::size_t nameLeast = std::min(Columns(name), kShortestName);
  std::string figures = percent + bytes + rate;
  if (nameLeast + figures.size() > room) figures = percent + bytes;
  if (nameLeast + figures.size() > room) figures = percent;
  std::string bar;
  const std::size_t nameWanted = std::min(Columns(name), kNameBeforeBar);
  const std::size_t spare = room - std::min(room, nameWanted + figures.size() + 3);
  if (width >= kNarrow && spare >= kFewestBarCells) {
    const std::size_t cells = std::min(spare, kBarCells);
    const auto filled = static_cast<std::size_t>(fraction * static_cast<double>(cells));
    bar = " [" + std::string(filled, '#') + std::string(cells - filled, '.') + "]";
  }
  std::string line = Shortened(name, room - std::min(room, bar.size() + figures.size())) + bar + figures;
  // On a very narrow terminal the figures give way from the end.
  if (Columns(line) > room) line.resize(ByteOfColumn(line, room));
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

void ProgressDisplay::StartFile(const std::string& name, double size, double held) {
  name_ = Printable(name);
  size_ = size;
  held_ = std::clamp(held, 0.0, size);
  sent_ = 0;
  fileOpen_ = true;
  allSent_ = false;
  started_ = std::chrono::steady_clock::now();
  if (held_ > 0) {
    Message("resuming " + name_ + " at " + PercentText());
  } else if (!terminal_) {
    Message("sending " + name_ + " (" + SizeText(size_) + ")");
  }
  if (terminal_) Update(0);
}

void ProgressDisplay::Update(double sent) {
  sent_ = std::max(0.0, sent);
  if (!terminal_) return;
  const double seconds = SecondsSince(started_);
  const double rate = seconds > 0.5 ? sent_ / seconds : 0;
  out_ << "\r" << BarLine(name_, held_ + sent_, size_, rate, Width()) << "\033[K" << std::flush;
  barShown_ = true;
}

void ProgressDisplay::Redraw() {
  if (barShown_) Update(sent_);
}

void ProgressDisplay::AllSent() {
  if (!fileOpen_) return;
  Update(size_ - held_);
  allSent_ = true;
}

void ProgressDisplay::FinishFile() {
  if (!fileOpen_ || !allSent_) return;
  const double seconds = SecondsSince(started_);
  const double sent = std::max(0.0, size_ - held_);
  fileOpen_ = false;
  allSent_ = false;
  std::string line = "sent " + name_ + ": " + SizeText(sent);
  if (held_ > 0) line += " (the server held " + SizeText(held_) + ")";
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  line += std::string(" in ") + time;
  if (seconds > 0) line += ", " + RateText(sent / seconds);
  Message(line);
}

std::string ProgressDisplay::PercentText() const {
  const double fraction = size_ > 0 ? std::clamp((held_ + sent_) / size_, 0.0, 1.0) : 1.0;
  return std::to_string(static_cast<int>(fraction * 100)) + " %";
}

std::optional<std::string> ProgressDisplay::FileState() const {
  if (!fileOpen_) return std::nullopt;
  return name_ + " " + PercentText();
}

}  // namespace dwl::terminal
