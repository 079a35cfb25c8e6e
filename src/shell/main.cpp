// main.cpp: sets up SDL and the display, computes the whole animation, then plays it.
#include "pattern/pattern.h"
#include "place/place.h"
#include "shell/shell.h"
#include "velmorade.h"

#include <cstdio>
#include <cstdlib>

// The fixed window taken when the linked SDL is too old to report the desktop size.
constexpr int FIXED_WIDTH = 1024;
constexpr int FIXED_HEIGHT = 768;

// True when the display mode is the desktop's size. In a browser the page is the desktop,
// whatever version Emscripten's SDL reports.
static bool takes_desktop(const SDL_version &linked)
{
#if defined(__EMSCRIPTEN__)
    (void)linked;
    return true;
#else
    return sdl_is_recent(linked);
#endif
}

static SDL_Surface *set_display_mode(const SDL_version &linked)
{
    const bool desktop = takes_desktop(linked);
    if (!desktop) {
        std::puts("Old SDL Version falling back to fixed size (1024x768)");
        std::fflush(stdout);
        set_geometry(FIXED_WIDTH, FIXED_HEIGHT);
    }
    // The desktop's size by number: sdl12-compat turns a 0 x 0 request into a window that only a
    // window manager with the EWMH full-screen state enlarges, and 1 x 1 without one. On several
    // monitors, one of them, without SDL's full screen, which would switch modes to fit it.
    SDL_Rect monitor{};
    const bool one_of_several = desktop && pick_monitor(monitor);
    SDL_Surface *screen = nullptr;
    if (one_of_several) {
        place_window(monitor);
        screen = SDL_SetVideoMode(monitor.w, monitor.h, 32, SDL_NOFRAME | SDL_DOUBLEBUF);
    } else if (desktop) {
        int width = 0, height = 0;
        desktop_size(width, height);
        screen = SDL_SetVideoMode(width, height, 32, SDL_FULLSCREEN | SDL_DOUBLEBUF);
    } else {
        screen = SDL_SetVideoMode(FIXED_WIDTH, FIXED_HEIGHT, 0, SDL_DOUBLEBUF);
    }
    if (screen == nullptr) {
        showError(SDL_GetError(), 1);
        return nullptr;
    }
    if (one_of_several)
        fill_monitor(monitor);
    if (desktop)
        set_geometry(screen->w, screen->h);
    return screen;
}

static std::uint32_t *alloc_store()
{
    char message[160];
    std::size_t bytes = 0;
    if (store_bytes(SCREEN_WIDTH, SCREEN_HEIGHT, bytes)) {
        if (std::uint32_t *store = new_store(bytes))
            return store;
        std::snprintf(message, sizeof message, "The animation frames need %zu bytes and could not be allocated.",
                      bytes);
    } else {
        std::snprintf(message, sizeof message,
                      "The animation frames need more than %zu bytes and could not be allocated.", SIZE_MAX);
    }
    // Give the display back first: a full-screen surface would hide the box and keep the keyboard.
    SDL_Quit();
    showError(message, 1);
    return nullptr;
}

int main(int argc, char *argv[])
{
    (void)argc;
    (void)argv;

    end_on_stop_signals();
    bound_display_wait();
    const SDL_version linked = *SDL_Linked_Version();
    choose_presentation(linked);
    if (sdl_is_compat(linked) && palettized_display())
        showError("The display has 256 colours or fewer; SDL 2 and SDL 3 cannot draw on it.", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        showError(SDL_GetError(), 1);
    std::atexit(SDL_Quit);
    char driver[32] = "";
    SDL_VideoDriverName(driver, sizeof driver);
    if (!is_display_driver(driver, std::getenv("SDL_VIDEODRIVER"))) {
        SDL_Quit(); // a text driver gives the terminal back first, so that the line shows
        showError("No available video device", 1);
    }

    SDL_Surface *screen = set_display_mode(linked);
    display_answered();
    end_on_lost_display();
    SDL_WM_SetCaption("Velmorade", nullptr);

    buf = alloc_store();
    calc(buf);
    match_store(screen, buf);
    frame_loop(screen, buf);
}
