// The loop of a program that shows progress: runs the platform's event loop
// until the work is done or the user interrupts it (Ctrl-C, SIGTERM), and
// redraws the progress line at once when the terminal is resized (SIGWINCH,
// where there is one). Only flags are set in the signal handlers; the loop
// acts on them between events.
#pragma once

#include <functional>

#include "apps/terminal/ProgressDisplay.h"

namespace dwl::terminal {

// The signal that interrupted the work (SIGINT or SIGTERM), or 0 when
// `done` came true. The signals' own handling is restored on return.
int RunUntilDoneOrInterrupted(const std::function<bool()>& done, ProgressDisplay& display);

}  // namespace dwl::terminal
