// display.cpp: which SDL versions, video drivers and displays the program takes, and how SDL 2
// and 3 under sdl12-compat are asked to present.
#include "shell/shell.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

#if defined(VELMORADE_HAVE_X11)
#include <X11/Xlib.h>
#endif

// SDL releases before 1.2.10 cannot pick the desktop size for a mode of 0 x 0. The bytes are
// compared one by one, so 1.3.0 and 2.0.0 take the fixed window too.
bool sdl_is_recent(const SDL_version &linked)
{
    return linked.major != 0 && linked.minor > 1 && linked.patch > 9;
}

// Classic SDL 1.2 ended at 1.2.15; sdl12-compat, SDL 1.2 over SDL 2 or 3, counts from 1.2.50.
bool sdl_is_compat(const SDL_version &linked)
{
    return linked.major == 1 && linked.minor == 2 && linked.patch >= 50;
}

static bool same_name(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; a++, b++)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// With no display, SDL 2 falls back to a driver that draws into memory and classic SDL to one
// that draws into the terminal; the animation would play to nobody.
bool is_display_driver(const char *driver, const char *requested)
{
    const char *const blind[] = {"dummy", "offscreen", "caca", "aalib"};
    const bool shows_nothing =
        std::any_of(std::begin(blind), std::end(blind), [driver](const char *name) { return same_name(driver, name); });
    return !shows_nothing || (requested != nullptr && same_name(driver, requested));
}

// SDL takes X11 unless the user names another video driver.
bool sdl_uses_x11()
{
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    return driver == nullptr || *driver == '\0' || same_name(driver, "x11");
}

// sdl12-compat presents each frame through SDL's renderer, OpenGL by default. Without a 3D driver
// Mesa draws that GL on the CPU, a whole core for one textured rectangle a frame, and under
// memory pressure its context fails inside SDL_SetVideoMode, before the program can say why.
// The software renderer into the window's own framebuffer is a copy, as classic SDL always drew;
// classic SDL ignores both settings. A user's own setting wins.
void prefer_software_presentation()
{
#if !defined(_WIN32)
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
#endif
}

// SDL 2 has no renderer for a display of 256 colours or fewer, and SDL 3 refuses one and then
// crashes tidying up, inside SDL_Init; classic SDL draws on it. Asked of the X server directly,
// before SDL starts, and only where SDL would use it.
bool palettized_display()
{
#if defined(VELMORADE_HAVE_X11)
    if (!sdl_uses_x11())
        return false;
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr)
        return false; // SDL says why itself
    const bool palettized = DefaultDepth(dpy, DefaultScreen(dpy)) <= 8;
    XCloseDisplay(dpy);
    return palettized;
#else
    return false;
#endif
}
