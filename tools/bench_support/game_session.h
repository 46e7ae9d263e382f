// The whole game started as WinMain starts it, in the working directory (a
// demo tree, tools/demo_tree), without its message loop: the caller runs the
// frames (winmain_run_frame), gives the input through the input stand-in's
// test machine and takes the game down again. For the tools and tests that
// play the demo level in their own process.
#pragma once

#include "platform/win32.h"

// The configuration file, the game window and the frame, on the device's
// GL back-end (through SDL's offscreen driver and Mesa's llvmpipe) when
// `gl`, else on the recording back-end without a display; presents do not
// wait for the vertical blank, sound plays into the audio library's null
// output, message boxes answer at once and the input devices are the test
// machine's. The log is the caller's to open. The window, or NULL after a
// line on stderr.
HWND game_session_open(bool gl);
// What the game does when it ends: the frame's clean-up, the window closed.
void game_session_close(HWND window);
