// presentation.cpp: before SDL starts, whether SDL 2 and 3 under sdl12-compat present through X11
// or Wayland, and how, and that classic SDL keeps off the terminal; once it has, the desktop's
// size in pixels.
#include "place/place.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <dlfcn.h>
#endif

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
// A library name that loads nothing.
constexpr const char *NO_OPENGL_LIBRARY = "libvelmorade-no-opengl.so";

static bool is_set(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Which of SDL's displays holds the compositor's point (x, y), else the first. SDL 1.2 has no
// notion of displays: sdl12-compat shows on the one that SDL_VIDEO_FULLSCREEN_DISPLAY numbers,
// so the number is asked of the SDL 2 interface it runs on, once video has started.
static int sdl_display_at(int x, int y)
{
    struct Bounds {
        int x, y, w, h;
    };
    void *sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (sdl2 == nullptr)
        return 0;
    auto count = reinterpret_cast<int (*)()>(dlsym(sdl2, "SDL_GetNumVideoDisplays"));
    auto bounds = reinterpret_cast<int (*)(int, Bounds *)>(dlsym(sdl2, "SDL_GetDisplayBounds"));
    SDL_Rect displays[MAX_MONITORS];
    int listed = 0;
    for (int i = 0; count != nullptr && bounds != nullptr && i < count() && i < MAX_MONITORS; i++) {
        Bounds b{};
        if (bounds(i, &b) != 0)
            break;
        displays[listed++] = SDL_Rect{static_cast<Sint16>(b.x), static_cast<Sint16>(b.y), static_cast<Uint16>(b.w),
                                      static_cast<Uint16>(b.h)};
    }
    dlclose(sdl2);
    return monitor_at(displays, listed, -1, true, x, y);
}

// Probes SDL's Wayland driver, told to report the desktop in the compositor's own units, as SDL 2
// always does. Where the compositor has several outputs, sdl12-compat is first pointed at the one
// in focus, unless the user named one. Then: whether that output is scaled, as its largest mode
// (its own pixels) differs from the desktop size, and if so, the output in its own pixels at its
// place scaled alike, where X would have it if X11 drew at those pixels.
static bool wayland_output_scaled(SDL_Rect &own)
{
    const bool named = is_set("SDL_VIDEODRIVER");
    if (!named)
        setenv("SDL_VIDEODRIVER", "wayland", 1);
    const bool own_scaling = is_set("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY");
    if (!own_scaling)
        setenv("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY", "0", 1);
    int x = 0, y = 0;
    if (!is_set("SDL_VIDEO_FULLSCREEN_DISPLAY") && !is_set("SDL_VIDEO_FULLSCREEN_HEAD") &&
        wayland_focused_output(x, y) && SDL_Init(SDL_INIT_VIDEO) == 0) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", sdl_display_at(x, y));
        SDL_Quit();
        setenv("SDL_VIDEO_FULLSCREEN_DISPLAY", number, 1);
    }
    bool scaled = false;
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
        const SDL_VideoInfo *info = SDL_GetVideoInfo();
        int width = 0, height = 0;
        scaled = info != nullptr && info->current_w > 0 && info->current_h > 0 &&
                 largest_mode(SDL_ListModes(nullptr, SDL_FULLSCREEN), width, height) &&
                 (width != info->current_w || height != info->current_h);
        if (scaled)
            own = SDL_Rect{static_cast<Sint16>(x * width / info->current_w),
                           static_cast<Sint16>(y * height / info->current_h), static_cast<Uint16>(width),
                           static_cast<Uint16>(height)};
        SDL_Quit();
    }
    if (!own_scaling)
        unsetenv("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY");
    if (!named)
        unsetenv("SDL_VIDEODRIVER");
    return scaled;
}
#endif

// sdl12-compat presents each frame through SDL's renderer, OpenGL by default. Without a 3D driver
// Mesa draws that GL on the CPU, a whole core for one textured rectangle a frame, and under
// memory pressure its context fails inside SDL_SetVideoMode, before the program can say why.
// On X11 the software renderer into the window's own framebuffer is a copy, as classic SDL always
// drew. Through Xwayland, though, most compositors (sway, GNOME) magnify a scaled output's
// picture; KWin by default gives X programs the output's own pixels instead. So in a Wayland
// session the program takes X11 where it is not magnified: on an unscaled output, or where X has
// a monitor of the scaled output's own pixels. Elsewhere, or where there is no X server, it takes
// SDL's Wayland driver and draws there in the output's own pixels. Wayland gives SDL no
// window framebuffer but one a GPU renderer provides, which SDL 3 refuses to start without and
// SDL 2 takes regardless; the software renderer into it still costs least there. Classic SDL has
// only X11 and ignores all of it. A user's own settings win.
void choose_presentation(const SDL_version &linked)
{
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
    if (!sdl_is_compat(linked)) {
        // Without a display classic SDL falls back to libcaca, and libcaca to the terminal: its
        // curses start-up ends the process where TERM names no terminal, and elsewhere takes the
        // terminal over before the program refuses the text driver. libcaca's null output keeps
        // it off the terminal, unless the user named a driver.
        if (!is_set("SDL_VIDEODRIVER"))
            setenv("CACA_DRIVER", "null", 0);
        return;
    }
    const char *named = std::getenv("SDL_VIDEODRIVER");
    const bool any = named == nullptr || *named == '\0';
    if (is_set("WAYLAND_DISPLAY") && (any || same_name(named, "wayland"))) {
        const bool own_display = is_set("SDL_VIDEO_FULLSCREEN_DISPLAY") || is_set("SDL_VIDEO_FULLSCREEN_HEAD");
        SDL_Rect own{};
        const bool scaled = wayland_output_scaled(own);
        const bool wayland = !any || !is_set("DISPLAY") || (scaled && !x11_has_monitor(own));
        if (any)
            setenv("SDL_VIDEODRIVER", wayland ? "wayland" : "x11", 1);
        // SDL 3 sizes a new window by the largest scale of all the outputs until it learns its
        // own; on an unscaled output it is told to work in the compositor's units, as SDL 2 does.
        if (wayland && !scaled)
            setenv("SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY", "0", 0);
        // A full-screen window wears no decorations. Where the compositor leaves them to the
        // program (KWin without its decoration plugin, among others), SDL would make its window
        // again through libdecor, and then wait for good for a configure that does not come.
        if (wayland)
            setenv("SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR", "0", 0);
        if (!own_display && is_set("SDL_VIDEO_FULLSCREEN_DISPLAY")) {
            // sdl12-compat opens its window on display 0 unless it centres it, and full screen
            // keeps the display the window opened on. SDL numbers X11's displays otherwise;
            // there the program finds the monitor itself.
            if (!wayland)
                unsetenv("SDL_VIDEO_FULLSCREEN_DISPLAY");
            else if (!is_set("SDL_VIDEO_WINDOW_POS"))
                setenv("SDL_VIDEO_CENTERED", "1", 0);
        }
    }
    setenv("SDL_RENDER_DRIVER", "software", 0);
    // On a deep-colour X display (30 bits) SDL's framebuffer goes through OpenGL: SDL 2 makes no
    // such framebuffer in software, and SDL 3 takes a 10-bit one for HDR and shows white as grey.
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    const bool deep_colour = x11_depth() > 24;
    if ((driver == nullptr || !same_name(driver, "wayland")) && !deep_colour)
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
    // sdl12-compat 1.2.78 makes its window for OpenGL wherever SDL's first renderer is OpenGL,
    // whichever renderer is asked for, and makes it again without where that fails. Pointed at
    // no OpenGL library, SDL fails the first window before it has shown anything.
    if (sdl_uses_x11() && same_name(std::getenv("SDL_RENDER_DRIVER"), "software") &&
        same_name(std::getenv("SDL_FRAMEBUFFER_ACCELERATION"), "0"))
        setenv("SDL_OPENGL_LIBRARY", NO_OPENGL_LIBRARY, 0);
#else
    (void)linked;
#endif
}

void desktop_size(int &width, int &height)
{
    // sdl12-compat has no video information while SDL knows of no display yet; SDL then picks.
    const SDL_VideoInfo *info = SDL_GetVideoInfo();
    width = info != nullptr ? info->current_w : 0;
    height = info != nullptr ? info->current_h : 0;
    char driver[32] = "";
    SDL_VideoDriverName(driver, sizeof driver);
    if (same_name(driver, "wayland"))
        largest_mode(SDL_ListModes(nullptr, SDL_FULLSCREEN), width, height);
}

// SDL 2 has no renderer for a display of 256 colours or fewer, and SDL 3 refuses one and then
// crashes tidying up, inside SDL_Init; classic SDL draws on it.
bool palettized_display()
{
    const int depth = x11_depth();
    return depth > 0 && depth <= 8;
}
