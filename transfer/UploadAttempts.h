// When to give up an e-mail's upload: the one rule that TransferAgent and
// `dwl upload` share. The owner of the ServerCommunicator feeds it the
// client's events and, when an attempt (one connection that sent the e-mail)
// is over, asks whether to try again.
//
// Only what no earlier attempt reached is progress: the server taking the
// e-mail the first time, a file finishing that had not finished before (a
// file sent afresh gets a new id, so it counts again), or file bytes beyond
// what the server held. A file the server held whole, resumed and finished
// again, is no progress, so a server that refuses a later step on every
// connection ends the upload after `mostFruitless` attempts in a row.
// Plain state; single-threaded.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace dwl {

class UploadAttempts {
 public:
  enum class Outcome { Progressed, NoProgress, GiveUp };

  explicit UploadAttempts(int mostFruitless) : mostFruitless_(mostFruitless) {}

  // Another e-mail: nothing reached yet, no attempt counted.
  void Restart();

  // What the attempt under way reached.
  void EmailAccepted();
  void FileFinished(const std::string& attachmentId);
  // ServerCommunicator::getFileBytesSent of the attempt's connection.
  void FileBytesSent(std::int64_t bytes);

  // The attempt is over; what follows belongs to the next one.
  Outcome End();

  int FruitlessInARow() const { return fruitlessInARow_; }
  int MostFruitless() const { return mostFruitless_; }

 private:
  int mostFruitless_;
  int fruitlessInARow_ = 0;
  bool progressed_ = false;
  bool accepted_ = false;
  std::set<std::string> finishedFiles_;
};

}  // namespace dwl
