#pragma once

#include <windows.h>

namespace Velmora::implementation {

// Creates the main window, runs the UI thread's message loop until the window is closed and
// returns the process exit code.
int RunApplication(HINSTANCE instance, int showCommand);

} // namespace Velmora::implementation
