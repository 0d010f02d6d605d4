#include "apps/terminal/InterruptibleRun.h"

#include <atomic>
#include <chrono>
#include <csignal>

#include "platform/Platform.h"

namespace dwl::terminal {

namespace {

std::atomic<int> g_interrupt{0};
std::atomic<bool> g_resized{false};

extern "C" void OnInterrupt(int signal) { g_interrupt = signal; }
extern "C" void OnResize(int) { g_resized = true; }

}  // namespace

int RunUntilDoneOrInterrupted(const std::function<bool()>& done, ProgressDisplay& display) {
  g_interrupt = 0;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#ifdef SIGWINCH
  std::signal(SIGWINCH, OnResize);
#endif
  while (!done() && g_interrupt == 0) {
    if (g_resized.exchange(false)) display.Redraw();
    ThePlatform().eventLoop->RunUntil([&] { return done() || g_interrupt != 0 || g_resized; },
                                      std::chrono::milliseconds(500));
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
#ifdef SIGWINCH
  std::signal(SIGWINCH, SIG_DFL);
#endif
  return done() ? 0 : g_interrupt.load();
}

}  // namespace dwl::terminal
