// The desktop program: start-up, the event loop and the end. Kept free of Qt in its interface
// so that the executable's main needs no widget headers.
#pragma once

#include <string>
#include <vector>

namespace kandrel {

// "kandrel [--screenshot PNG] [--run] [FILE...]": opens each FILE as "開く..." does. With
// --screenshot, steps one frame once the windows are up, writes a picture of the screen to PNG
// and quits (0: written, 1: the frame failed, 2: the picture could not be written). With --run,
// starts the continuous run once the windows are up, as F9 does.
// What the desktop program prints (and then exits 2) when there is no display to open.
inline constexpr const char* kNoDisplayMessage =
    "kandrel: cannot open a display (is DISPLAY set?); to run a process file without one, use "
    "kandrel --batch FILE.knd (see kandrel --help)";

int RunDesktop(int argc, char** argv, const std::vector<std::string>& arguments);

}  // namespace kandrel
