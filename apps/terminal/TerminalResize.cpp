#include "apps/terminal/TerminalResize.h"

#include <atomic>
#include <csignal>

namespace dwl::terminal {

namespace {

std::atomic<bool> g_resized{false};

extern "C" void OnResize(int) { g_resized = true; }

}  // namespace

void WatchTerminalResize() {
#ifdef SIGWINCH
  std::signal(SIGWINCH, OnResize);
#endif
}

bool TerminalResized() { return g_resized.exchange(false); }

bool TerminalResizePending() { return g_resized.load(); }

}  // namespace dwl::terminal
