// scr_args.h: how Windows tells a screen saver what to do, read from its command line.
#pragma once

#include <cstdint>

// What the saver was started for.
enum ScrMode {
    SCR_FULL_SCREEN, // /s: full screen until the user touches a key or the mouse
    SCR_PREVIEW,     // /p HWND: inside the settings dialog's little screen
    SCR_SETTINGS,    // /c, /c:HWND or no argument
    SCR_BAD,         // anything else, or /p without a window handle
};

// Reads /s, /p HWND, /c[:HWND] in either case, with '-' for '/' and ':' or a space before the
// decimal handle. Sets `window` for SCR_PREVIEW.
ScrMode scr_mode(int argc, const char *const argv[], std::uintptr_t &window);
