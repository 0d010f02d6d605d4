// What TransferAgent shows while it works: on a terminal one line per file
// redrawn once a second (name, percent, MB/s, time left); elsewhere one line
// per finished file.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace dwl::agent {

class ProgressDisplay {
 public:
  ProgressDisplay(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  // A line of its own.
  void Message(const std::string& line);
  void StartFile(const std::string& name, double bytes);
  // `sent`: the file's bytes sent on this connection so far.
  void Update(double sent);
  void FinishFile();

  // The bar's line for these figures, for its own tests.
  static std::string BarLine(const std::string& name, double sent, double size, double seconds);

 private:
  void ClearBar();

  std::ostream& out_;
  bool terminal_;
  bool barShown_ = false;
  std::string name_;
  double size_ = 0;
  double sent_ = 0;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace dwl::agent
