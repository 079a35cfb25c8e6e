// windows.cpp: what Windows reports of its monitors and the pointer, and how SDL's window is put
// on a monitor, in front or above every other window.
//
// Windows' desktop is one virtual screen whose origin is the primary monitor's top-left corner;
// a monitor left of or above it has negative coordinates. SDL 1.2's full screen is the primary
// monitor alone, at a display mode it sets, so the program and the screen saver open a
// borderless window instead and move it where it belongs. The program is DPI-aware per monitor
// (its manifest), so all of it is in the monitors' own pixels.
#include "place/place.h"

#include <SDL_syswm.h>
#include <windows.h>

#include <algorithm>

static SDL_Rect rect(LONG left, LONG top, LONG right, LONG bottom)
{
    return SDL_Rect{static_cast<Sint16>(left), static_cast<Sint16>(top), static_cast<Uint16>(right - left),
                    static_cast<Uint16>(bottom - top)};
}

// Windows lists its monitors only through a callback, one monitor a call.
static BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    Monitors &monitors = *reinterpret_cast<Monitors *>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitors.count >= MAX_MONITORS || !GetMonitorInfoW(monitor, &info))
        return TRUE;
    const RECT &r = info.rcMonitor;
    if (r.right <= r.left || r.bottom <= r.top)
        return TRUE;
    if (info.dwFlags & MONITORINFOF_PRIMARY)
        monitors.primary = monitors.count;
    monitors.list[monitors.count++] = rect(r.left, r.top, r.right, r.bottom);
    return TRUE;
}

bool desktop_monitors(Monitors &monitors)
{
    monitors.count = 0;
    monitors.primary = -1;
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&monitors));
    if (monitors.count == 0)
        return false;
    // The virtual screen is the smallest rectangle around every monitor.
    LONG left = monitors.list[0].x, top = monitors.list[0].y, right = left, bottom = top;
    for (int i = 0; i < monitors.count; i++) {
        const SDL_Rect &m = monitors.list[i];
        left = std::min<LONG>(left, m.x);
        top = std::min<LONG>(top, m.y);
        right = std::max<LONG>(right, m.x + m.w);
        bottom = std::max<LONG>(bottom, m.y + m.h);
    }
    monitors.screen = rect(left, top, right, bottom);
    POINT pointer{};
    monitors.pointer_found = GetCursorPos(&pointer) != 0;
    monitors.pointer_x = pointer.x;
    monitors.pointer_y = pointer.y;
    return true;
}

// Moves SDL's window to `place` at the size it has, in front, and gives it the keyboard.
static void put_window(const SDL_Rect &place, HWND after)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0)
        return;
    SetWindowPos(info.window, after, place.x, place.y, place.w, place.h, SWP_SHOWWINDOW);
    SetForegroundWindow(info.window);
}

// A borderless window that covers a monitor exactly is what Windows takes for full screen: the
// taskbar stays behind it.
void fill_monitor(const SDL_Rect &monitor)
{
    put_window(monitor, HWND_TOP);
}

void cover_monitor(const SDL_Rect &monitor)
{
    put_window(monitor, HWND_TOPMOST);
}
