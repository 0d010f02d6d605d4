#include "support/TolerantRun.h"

#include <cstdio>
#include <exception>
#include <new>

namespace dwl {

TolerantRun::TolerantRun(std::string operation, LogSink log)
    : operation_(std::move(operation)), log_(std::move(log)) {}

void TolerantRun::Fail(const Error& failure) {
  if (!pending_) pending_ = failure;
}

void TolerantRun::Checkpoint(int number, const std::string& suffix) {
  if (!pending_) return;
  char label[16];
  std::snprintf(label, sizeof label, ":%02d:", number);
  const std::string line = operation_ + label + pending_->Description() + ", " +
                           std::to_string(pending_->Number()) + suffix;
  pending_.reset();
  if (!log_) return;
  try {
    log_(line);
  } catch (...) {
    // Logging must never turn a tolerated failure into a fatal one.
  }
}

Error TolerantRun::CurrentFailure() noexcept {
  try {
    throw;
  } catch (const Error& failure) {
    return failure;
  } catch (const std::bad_alloc&) {
    return Error(errc::kOutOfMemory, "", "Out of memory");
  } catch (const std::exception& failure) {
    return Error(errc::kUnknown, "", failure.what());
  } catch (...) {
    return Error(errc::kUnknown, "", "Unknown failure");
  }
}

}  // namespace dwl
