// windows_saver.cpp: velmorade.scr, the running diamond stripes as a Windows screen saver.
//
// Windows starts it full screen (/s), inside the settings dialog's preview (/p HWND), or for its
// settings (/c, or no argument). The frames and the way they reach the screen are the program's;
// what differs is how it ends: full screen at the first key, mouse button or real movement of
// the mouse, in the preview when the window it draws into is gone. Full screen it covers every
// monitor, each with frames of its own size around its own middle, from one window over the
// whole desktop; monitors of one size share their frames. A saver started by the system has
// nobody to answer a box, so its failures go to stderr (stderr.txt beside it) with status 1.
//
// The setup installs it in the system folder, where Screen Saver Settings look for savers, and
// SDL.dll in Velmorade's own folder. So SDL is imported lazily, and loaded here by its full path
// before anything calls it: beside the saver, or from the folder the setup recorded when the
// saver runs from the system folder. SDL.dll is never taken from the system folder or the search
// path, where it would be another program's.
#include "pattern/pattern.h"
#include "place/place.h"
#include "saver/saver.h"
#include "saver/scr_args.h"
#include "shell/shell.h"
#include "velmorade.h"

#include <SDL.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

constexpr int MOUSE_SLACK = 4; // pixels the mouse may drift before the user counts as back
// Where the setup records Velmorade's folder: its entry in Apps, value InstallLocation.
constexpr const wchar_t *UNINSTALL_KEY = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmorade";

static HWND preview_window; // the window the preview draws into, else null
static bool mouse_seen;
static int mouse_x, mouse_y; // where the mouse was first seen, full screen

// What the saver draws: each monitor's place in its window, and the frames for its size (null
// where there was no memory for them: that monitor stays black).
static SDL_Rect PLACES[MAX_MONITORS];
static const std::uint32_t *STORES[MAX_MONITORS];
static int PLACE_COUNT;

const char *const SAVER_NAME = "velmorade.scr";

// The folder part of a path, in place: what comes before its last backslash.
static void cut_to_folder(wchar_t *path)
{
    wchar_t *slash = std::wcsrchr(path, L'\\');
    *(slash != nullptr ? slash : path) = L'\0';
}

// Loads SDL.dll from Velmorade's folder, so that the lazy imports find it already loaded.
static bool load_sdl()
{
    wchar_t folder[MAX_PATH];
    wchar_t system[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        saver_fail("cannot tell where velmorade.scr is");
    cut_to_folder(folder);
    const UINT system_length = GetSystemDirectoryW(system, MAX_PATH);
    if (system_length > 0 && system_length < MAX_PATH && _wcsicmp(folder, system) == 0) {
        DWORD size = sizeof folder;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, L"InstallLocation", RRF_RT_REG_SZ, nullptr, folder,
                         &size) != ERROR_SUCCESS)
            saver_fail("Velmorade's folder is not recorded: install Velmorade again");
    }
    wchar_t library[MAX_PATH];
    if (std::swprintf(library, MAX_PATH, L"%ls\\SDL.dll", folder) < 0 ||
        LoadLibraryExW(library, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) == nullptr)
        saver_fail("cannot load SDL.dll from Velmorade's folder: install Velmorade again");
    return true;
}

// SDL's start-up code calls into SDL before main, so SDL is loaded while the statics are set up.
[[maybe_unused]] static const bool sdl_loaded = load_sdl();

static void start_video()
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        saver_fail(SDL_GetError());
    std::atexit(SDL_Quit);
}

// Every monitor, without the pointer: a borderless window over the whole desktop, above every
// other window, so that no display mode changes. A monitor is where Windows has it, relative to
// the desktop's top-left corner.
static SDL_Surface *open_full_screen()
{
    start_video();
    Monitors monitors{};
    if (!desktop_monitors(monitors)) {
        const SDL_VideoInfo *info = SDL_GetVideoInfo();
        monitors.screen = SDL_Rect{0, 0, static_cast<Uint16>(info->current_w), static_cast<Uint16>(info->current_h)};
        monitors.list[0] = monitors.screen;
        monitors.count = 1;
    }
    const SDL_Rect &screen = monitors.screen;
    place_window(screen);
    SDL_Surface *surface = SDL_SetVideoMode(screen.w, screen.h, 32, SDL_NOFRAME | SDL_DOUBLEBUF);
    if (surface == nullptr)
        return nullptr;
    cover_desktop(screen);
    SDL_ShowCursor(SDL_DISABLE);
    SDL_WM_SetCaption("Velmorade", nullptr);
    for (int i = 0; i < monitors.count; i++) {
        const SDL_Rect &m = monitors.list[i];
        PLACES[i] = SDL_Rect{static_cast<Sint16>(m.x - screen.x), static_cast<Sint16>(m.y - screen.y), m.w, m.h};
    }
    PLACE_COUNT = monitors.count;
    return surface;
}

// The dialog's window, at its client size. SDL 1.2 draws into a window it is given through
// SDL_WINDOWID, set before video starts; it cannot see that window's messages. The window is
// the dialog's, so its title is left alone.
static SDL_Surface *open_preview(std::uintptr_t handle)
{
    static char variable[48];
    preview_window = reinterpret_cast<HWND>(handle);
    RECT client;
    if (!IsWindow(preview_window) || !GetClientRect(preview_window, &client))
        saver_fail("no window to preview in");
    std::snprintf(variable, sizeof variable, "SDL_WINDOWID=%llu", static_cast<unsigned long long>(handle));
    SDL_putenv(variable);
    start_video();
    SDL_Surface *surface = SDL_SetVideoMode(client.right - client.left, client.bottom - client.top, 32, 0);
    if (surface != nullptr) {
        PLACES[0] = SDL_Rect{0, 0, static_cast<Uint16>(surface->w), static_cast<Uint16>(surface->h)};
        PLACE_COUNT = 1;
    }
    return surface;
}

// Frames for each place, computed once for each size; a place whose frames cannot be had says so
// on stderr and stays black.
static void make_frames(SDL_Surface *surface)
{
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    for (int i = 0; i < PLACE_COUNT; i++) {
        const SDL_Rect &place = PLACES[i];
        for (int j = 0; j < i && STORES[i] == nullptr; j++)
            if (PLACES[j].w == place.w && PLACES[j].h == place.h)
                STORES[i] = STORES[j];
        if (STORES[i] != nullptr)
            continue;
        set_geometry(place.w, place.h);
        std::size_t bytes = 0;
        std::uint32_t *store = nullptr;
        if (store_bytes(SCREEN_WIDTH, SCREEN_HEIGHT, bytes))
            store = new_store(bytes);
        if (store == nullptr) {
            char monitor[64];
            std::snprintf(monitor, sizeof monitor, "%dx%d at %d,%d, which stays black", place.w, place.h, place.x,
                          place.y);
            saver_say("no memory for the frames of the monitor of ", monitor);
            continue;
        }
        calc(store);
        match_store(surface, store);
        STORES[i] = store;
    }
}

// Each place's frame `frame`, then one flip for them all.
static void draw_frames(SDL_Surface *surface, int frame)
{
    if (SDL_LockSurface(surface) == 0) {
        for (int i = 0; i < PLACE_COUNT; i++)
            if (STORES[i] != nullptr)
                put_frame(surface, STORES[i], PLACES[i].w, PLACES[i].h, frame, PLACES[i].x, PLACES[i].y);
        SDL_UnlockSurface(surface);
    }
    SDL_Flip(surface);
}

// Full screen, any key, mouse button or movement beyond MOUSE_SLACK ends the saver.
static void handle_input()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            std::exit(0);
        if (preview_window != nullptr)
            continue;
        if (event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN)
            std::exit(0);
        if (event.type == SDL_MOUSEMOTION) {
            if (!mouse_seen) {
                mouse_seen = true;
                mouse_x = event.motion.x;
                mouse_y = event.motion.y;
            } else if (std::abs(event.motion.x - mouse_x) > MOUSE_SLACK ||
                       std::abs(event.motion.y - mouse_y) > MOUSE_SLACK) {
                std::exit(0);
            }
        }
    }
}

int main(int argc, char *argv[])
{
    std::uintptr_t handle = 0;
    SDL_Surface *screen = nullptr;
    switch (scr_mode(argc, argv, handle)) {
    case SCR_SETTINGS:
        MessageBoxA(nullptr, "Velmorade has nothing to set.", "Velmorade", MB_OK | MB_ICONINFORMATION);
        return 0;
    case SCR_BAD:
        saver_fail("unknown command line; use /s, /p HWND or /c");
    case SCR_PREVIEW:
        screen = open_preview(handle);
        break;
    case SCR_FULL_SCREEN:
        screen = open_full_screen();
        break;
    }
    if (screen == nullptr)
        saver_fail(SDL_GetError());
    make_frames(screen);

    for (int frame = 0;; frame = (frame + 1) % FRAMES) {
        const Uint32 start = SDL_GetTicks();
        if (preview_window != nullptr && !IsWindow(preview_window))
            std::exit(0);
        handle_input();
        draw_frames(screen, frame);
        SDL_Delay(frame_delay(start, SDL_GetTicks()));
    }
}
