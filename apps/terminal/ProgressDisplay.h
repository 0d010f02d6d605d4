// What TransferAgent and `dwl upload` show while they work. On a terminal: a
// line per file, redrawn once a second to the terminal's width of that moment
// (name, bar, percent, bytes done of the file's size, rate, time left; the bar
// goes below kNarrow columns and a long name loses its middle), cleared to the
// end so no old character stays. Elsewhere: a line when a file begins and when
// it ends. Names come from files and the network: they are shown cleaned.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace dwl::terminal {

class ProgressDisplay {
 public:
  // Below this many columns the line has no bar.
  static constexpr std::size_t kNarrow = 50;

  // `width` tells the terminal's columns now; 0 (or no function): 80.
  ProgressDisplay(std::ostream& out, bool terminal, std::function<std::size_t()> width = {});

  // A line of its own.
  void Message(const std::string& line);
  // A file of `size` bytes begins, of which the server holds `held` already.
  void StartFile(const std::string& name, double size, double held = 0);
  // The file's bytes sent so far on this attempt, beyond those held.
  void Update(double sent);
  // The line again, to the terminal's width now (after a resize).
  void Redraw();
  // The file's last byte went out; the server has yet to confirm it.
  void AllSent();
  // The server has the file whose bytes all went out: a line with what was
  // really sent, in how long, at what rate (timed until now, since bytes on
  // their way in the system's buffers are not there yet). Nothing otherwise.
  void FinishFile();
  // Where the file under way stands: "big.bin 49 %"; nullopt when none is.
  std::optional<std::string> FileState() const;

  // The redrawn line for these figures, at most `width` - 1 columns.
  static std::string BarLine(const std::string& name, double done, double size, double bytesPerSecond,
                             std::size_t width);

 private:
  void ClearBar();
  std::size_t Width() const;
  // "49 %": the server's part of the file under way.
  std::string PercentText() const;

  std::ostream& out_;
  bool terminal_;
  std::function<std::size_t()> width_;
  bool barShown_ = false;
  bool fileOpen_ = false;
  bool allSent_ = false;
  std::string name_;
  double size_ = 0;
  double held_ = 0;
  double sent_ = 0;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace dwl::terminal
