// display.cpp: which SDL versions and video drivers the program takes as a display, and how
// SDL 2 and 3 under sdl12-compat are asked to present.
#include "shell/shell.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

// SDL releases before 1.2.10 cannot pick the desktop size for a mode of 0 x 0. The bytes are
// compared one by one, so 1.3.0 and 2.0.0 take the fixed window too.
bool sdl_is_recent(const SDL_version &linked)
{
    return linked.major != 0 && linked.minor > 1 && linked.patch > 9;
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
