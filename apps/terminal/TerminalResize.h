// Whether the user resized the terminal, so that a progress line is redrawn
// to the new width at once rather than at its next tick. Where the system
// tells of no resizing (Windows), never.
#pragma once

namespace dwl::terminal {

// Starts listening (SIGWINCH); call once, early.
void WatchTerminalResize();
// True once after each resize.
bool TerminalResized();
// Whether a resize waits to be taken by TerminalResized, for a loop's wait.
bool TerminalResizePending();

}  // namespace dwl::terminal
