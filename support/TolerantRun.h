// Tolerant mode for host-facing operations: each step runs even when an
// earlier one failed; the first failure stays pending until a numbered
// checkpoint logs it as "<operation>:NN:<description>, <number>" and clears it.
// Also serves operations that only need to know whether any step failed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/Error.h"

namespace dwl {

class TolerantRun {
 public:
  using LogSink = std::function<void(const std::string&)>;

  // `log` receives checkpoint lines; it may be empty when nothing is logged.
  explicit TolerantRun(std::string operation, LogSink log = {});

  // Runs `step`; a failure it throws becomes pending unless one already is.
  // True when the step completed.
  template <class Step>
  bool Run(Step&& step) noexcept {
    try {
      std::forward<Step>(step)();
      return true;
    } catch (...) {
      Fail(CurrentFailure());
      return false;
    }
  }

  // Logs and clears the pending failure, if any; `suffix` follows the number.
  void Checkpoint(int number, const std::string& suffix = "");

  bool HasPending() const { return pending_.has_value(); }
  const std::optional<Error>& Pending() const { return pending_; }
  void Fail(const Error& failure);
  void Clear() { pending_.reset(); }

  // The exception being handled, as an Error (call only inside a catch).
  static Error CurrentFailure() noexcept;

 private:
  std::string operation_;
  LogSink log_;
  std::optional<Error> pending_;
};

}  // namespace dwl
