// The game's device for the benchmark tools: a window on the recording
// back-end, without a display, with the log and the device up.
#pragma once

#include "platform/win32.h"

// Opens the log on `log_path` and a 640x480 window of class `class_name` with
// the device on it; NULL after a line on stderr.
HWND bench_open_recording_device(const char* class_name, const char* log_path);
// Takes the device, the log and the window down again.
void bench_close_recording_device(HWND window);
