// windows_saver.cpp: velmorade.scr, the running diamond stripes as a Windows screen saver.
//
// Windows starts it full screen (/s), inside the settings dialog's preview (/p HWND), or for its
// settings (/c, or no argument). The frames and the way they reach the screen are the program's;
// what differs is how it ends: full screen at the first key, mouse button or real movement of
// the mouse, in the preview when the window it draws into is gone. A saver started by the system
// has nobody to answer a box, so its failures go to stderr (stderr.txt beside it) with status 1.
//
// The setup installs it in the system folder, where Screen Saver Settings look for savers, and
// SDL.dll in Velmorade's own folder. So SDL is imported lazily, and loaded here by its full path
// before anything calls it: beside the saver, or from the folder the setup recorded when the
// saver runs from the system folder. SDL.dll is never taken from the system folder or the search
// path, where it would be another program's.
#include "pattern/pattern.h"
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

// The whole desktop, without the pointer.
static SDL_Surface *open_full_screen()
{
    start_video();
    const SDL_VideoInfo *info = SDL_GetVideoInfo();
    SDL_Surface *screen = SDL_SetVideoMode(info->current_w, info->current_h, 32, SDL_FULLSCREEN | SDL_DOUBLEBUF);
    SDL_ShowCursor(SDL_DISABLE);
    SDL_WM_SetCaption("Velmorade", nullptr);
    return screen;
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
    return SDL_SetVideoMode(client.right - client.left, client.bottom - client.top, 32, 0);
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
    set_geometry(screen->w, screen->h);
    std::size_t bytes = 0;
    if (!store_bytes(SCREEN_WIDTH, SCREEN_HEIGHT, bytes) || (buf = new_store(bytes)) == nullptr)
        saver_fail("no memory for the frames");
    calc(buf);

    for (int frame = 0;; frame = (frame + 1) % FRAMES) {
        const Uint32 start = SDL_GetTicks();
        if (preview_window != nullptr && !IsWindow(preview_window))
            std::exit(0);
        handle_input();
        draw_buf(screen, buf, frame);
        SDL_Delay(frame_delay(start, SDL_GetTicks()));
    }
}
