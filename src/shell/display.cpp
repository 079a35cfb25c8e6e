// display.cpp: which SDL versions, video drivers and displays the program takes, how SDL 2 and 3
// under sdl12-compat are asked to present, X11 or Wayland, and the desktop's size in pixels.
#include "shell/shell.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
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

// Largest as SDL orders its modes: widest, then tallest. By that order the output's own mode comes
// first; sdl12-compat's made-up sizes follow it, some of them taller than a wide output.
bool largest_mode(SDL_Rect **modes, int &width, int &height)
{
    // SDL 1.2 lists none as null and every size as -1.
    if (modes == nullptr || reinterpret_cast<std::intptr_t>(modes) == -1)
        return false;
    int best_w = 0, best_h = 0;
    for (SDL_Rect **mode = modes; *mode != nullptr; mode++)
        if ((*mode)->w > best_w || ((*mode)->w == best_w && (*mode)->h > best_h)) {
            best_w = (*mode)->w;
            best_h = (*mode)->h;
        }
    if (best_w == 0 || best_h == 0)
        return false;
    width = best_w;
    height = best_h;
    return true;
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
static bool is_set(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Whether the output the compositor shows the program on is scaled. Told to report the desktop in
// the compositor's own units, as SDL 2 always does, SDL's Wayland driver lists the output's own
// pixels as its largest mode, which is larger than the desktop on a scaled output.
static bool wayland_output_scaled()
{
    setenv("SDL_VIDEODRIVER", "wayland", 1);
    const bool own_scaling = is_set("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY");
    if (!own_scaling)
        setenv("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY", "0", 1);
    bool scaled = false;
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
        const SDL_VideoInfo *info = SDL_GetVideoInfo();
        int width = 0, height = 0;
        scaled = largest_mode(SDL_ListModes(nullptr, SDL_FULLSCREEN), width, height) &&
                 (width != info->current_w || height != info->current_h);
        SDL_Quit();
    }
    if (!own_scaling)
        unsetenv("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    return scaled;
}
#endif

// sdl12-compat presents each frame through SDL's renderer, OpenGL by default. Without a 3D driver
// Mesa draws that GL on the CPU, a whole core for one textured rectangle a frame, and under
// memory pressure its context fails inside SDL_SetVideoMode, before the program can say why.
// On X11 the software renderer into the window's own framebuffer is a copy, as classic SDL always
// drew. Through Xwayland, though, a compositor magnifies a scaled output's picture, so in a
// Wayland session the program takes SDL's Wayland driver where the output is scaled, or where
// there is no X server, and draws there in the output's own pixels. Wayland gives SDL no window
// framebuffer but one a GPU renderer provides, which SDL 3 refuses to start without and SDL 2
// takes regardless; the software renderer into it still costs least there. Classic SDL has only
// X11 and ignores all of it. A user's own settings win.
void choose_presentation(const SDL_version &linked)
{
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
    if (!sdl_is_compat(linked))
        return;
    if (!is_set("SDL_VIDEODRIVER") && is_set("WAYLAND_DISPLAY")) {
        const bool wayland = wayland_output_scaled() || !is_set("DISPLAY");
        setenv("SDL_VIDEODRIVER", wayland ? "wayland" : "x11", 1);
    }
    setenv("SDL_RENDER_DRIVER", "software", 0);
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    if (driver == nullptr || !same_name(driver, "wayland"))
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
#else
    (void)linked;
#endif
}

void desktop_size(int &width, int &height)
{
    const SDL_VideoInfo *info = SDL_GetVideoInfo();
    width = info->current_w;
    height = info->current_h;
    char driver[32] = "";
    SDL_VideoDriverName(driver, sizeof driver);
    if (same_name(driver, "wayland"))
        largest_mode(SDL_ListModes(nullptr, SDL_FULLSCREEN), width, height);
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
