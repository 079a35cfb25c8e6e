// monitors.cpp: on a desktop of several monitors, which one the program fills, on X11 and on
// Windows alike.
//
// SDL 1.2 knows only the whole desktop, which spans every monitor: the disc would land on the
// seam and half of each frame would go to glass no one looks at. The program takes the monitor
// under the pointer, where the user just started it (in a Wayland session, the output in
// focus), else the primary one.
#include "place/place.h"

#include <cstdio>
#include <cstdlib>

int monitor_at(const SDL_Rect *monitors, int count, int primary, bool pointer_found, int pointer_x, int pointer_y)
{
    for (int i = 0; pointer_found && i < count; i++) {
        const SDL_Rect &m = monitors[i];
        if (pointer_x >= m.x && pointer_x < m.x + m.w && pointer_y >= m.y && pointer_y < m.y + m.h)
            return i;
    }
    return primary >= 0 && primary < count ? primary : 0;
}

bool pick_monitor(SDL_Rect &monitor)
{
    Monitors monitors{};
    if (!desktop_monitors(monitors) || monitors.count <= 1)
        return false;
    monitor = monitors.list[monitor_at(monitors.list, monitors.count, monitors.primary, monitors.pointer_found,
                                       monitors.pointer_x, monitors.pointer_y)];
    // Mirrored monitors each show the whole screen, which plain full screen fills.
    return !same_place(monitor, monitors.screen);
}

// Classic SDL on X11 and on Windows both open a new window at SDL_VIDEO_WINDOW_POS, unless
// SDL_VIDEO_CENTERED is set, which wins.
void place_window(const SDL_Rect &place)
{
#if defined(_WIN32)
    // SDL reads the C runtime's environment, which keeps these strings themselves.
    static char position[48];
    static char centred[] = "SDL_VIDEO_CENTERED=";
    std::snprintf(position, sizeof position, "SDL_VIDEO_WINDOW_POS=%d,%d", place.x, place.y);
    SDL_putenv(position);
    SDL_putenv(centred);
#else
    char position[32];
    std::snprintf(position, sizeof position, "%d,%d", place.x, place.y);
    setenv("SDL_VIDEO_WINDOW_POS", position, 1);
    unsetenv("SDL_VIDEO_CENTERED");
#endif
}
