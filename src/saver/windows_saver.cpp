// windows_saver.cpp: velmorade.scr, the running diamond stripes as a Windows screen saver.
//
// Windows starts it full screen (/s), inside the settings dialog's preview (/p HWND), or for its
// settings (/c, or no argument). The frames and the way they reach the screen are the program's;
// what differs is how it ends: full screen at the first key, mouse button or real movement of
// the mouse, in the preview when the window it draws into is gone. Full screen it covers every
// monitor, each with frames of its own size around its own middle: SDL's window the primary
// one, a plain window of its own each other one (a single window over them all would do on
// Windows, but Wine cuts such a window down to one monitor); monitors of one size share their
// frames. A saver started by the system has nobody to answer a box, so its failures go to
// stderr (stderr.txt beside it) with status 1.
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iterator>

constexpr int MOUSE_SLACK = 4; // pixels the mouse may drift before the user counts as back
// Where the setup records Velmorade's folder: its entry in Apps, value InstallLocation.
constexpr const wchar_t *UNINSTALL_KEY = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmorade";

static HWND preview_window; // the window the preview draws into, else null
static bool mouse_seen;
static int mouse_x, mouse_y; // where the mouse was first seen, full screen

// What the saver draws: each monitor's size (the first is SDL's window), the window of its own
// of each other monitor, and the frames for each size (null where there was no memory for them:
// that monitor stays black).
static SDL_Rect PLACES[MAX_MONITORS];
static HWND WINDOWS[MAX_MONITORS];
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

// The mouse, wherever it is, ends the saver once it has moved beyond MOUSE_SLACK from where it
// was first seen.
static void mouse_moved()
{
    POINT at{};
    if (!GetCursorPos(&at))
        return;
    if (!mouse_seen) {
        mouse_seen = true;
        mouse_x = at.x;
        mouse_y = at.y;
    } else if (std::abs(at.x - mouse_x) > MOUSE_SLACK || std::abs(at.y - mouse_y) > MOUSE_SLACK) {
        std::exit(0);
    }
}

// The windows over the other monitors take the same input as SDL's: Windows hands it to them
// while SDL pumps the messages.
static LRESULT CALLBACK monitor_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
        std::exit(0);
    case WM_MOUSEMOVE:
        mouse_moved();
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return TRUE;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

// A borderless black window over the monitor, above every other window, without a cursor.
static HWND open_monitor_window(const SDL_Rect &monitor)
{
    static ATOM window_class;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (window_class == 0) {
        WNDCLASSW description{};
        description.lpfnWndProc = monitor_window;
        description.hInstance = instance;
        description.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        description.lpszClassName = L"VelmoradeMonitor";
        window_class = RegisterClassW(&description);
    }
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"VelmoradeMonitor", L"", WS_POPUP | WS_VISIBLE,
                                  monitor.x, monitor.y, monitor.w, monitor.h, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        saver_fail("cannot open a window over a monitor");
    return window;
}

// Every monitor, without the pointer, above every other window, without any display mode
// changing: SDL's borderless window on the primary one, one of the saver's own on each other.
static SDL_Surface *open_full_screen()
{
    start_video();
    Monitors monitors{};
    if (!desktop_monitors(monitors)) {
        const SDL_VideoInfo *info = SDL_GetVideoInfo();
        monitors.list[0] = SDL_Rect{0, 0, static_cast<Uint16>(info->current_w), static_cast<Uint16>(info->current_h)};
        monitors.count = 1;
        monitors.primary = 0;
    }
    // The primary monitor first, else the first listed: the program's choice without a pointer.
    const int first = monitor_at(monitors.list, monitors.count, monitors.primary, false, 0, 0);
    PLACE_COUNT = 0;
    PLACES[PLACE_COUNT++] = monitors.list[first];
    for (int i = 0; i < monitors.count; i++)
        if (i != first)
            PLACES[PLACE_COUNT++] = monitors.list[i];
    place_window(PLACES[0]);
    SDL_Surface *surface = SDL_SetVideoMode(PLACES[0].w, PLACES[0].h, 32, SDL_NOFRAME | SDL_DOUBLEBUF);
    if (surface == nullptr)
        return nullptr;
    SDL_WM_SetCaption("Velmorade", nullptr);
    SDL_ShowCursor(SDL_DISABLE);
    for (int i = 1; i < PLACE_COUNT; i++)
        WINDOWS[i] = open_monitor_window(PLACES[i]);
    // SDL's window last, so that it has the keyboard.
    cover_monitor(PLACES[0]);
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
        // The store in SDL's 32-bit pixels, which are also a 32-bit DIB's for the other windows.
        match_store(surface, store);
        STORES[i] = store;
    }
}

// Frame `frame` of each monitor: SDL's surface, then the other windows through GDI.
static void draw_frames(SDL_Surface *surface, int frame)
{
    if (STORES[0] != nullptr && SDL_LockSurface(surface) == 0) {
        put_frame(surface, STORES[0], PLACES[0].w, PLACES[0].h, frame);
        SDL_UnlockSurface(surface);
    }
    SDL_Flip(surface);
    for (int i = 1; i < PLACE_COUNT; i++) {
        if (STORES[i] == nullptr)
            continue;
        const int w = PLACES[i].w, h = PLACES[i].h;
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = w;
        format.bmiHeader.biHeight = -h; // top row first, as the store holds it
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        const std::uint32_t *image =
            STORES[i] + static_cast<std::size_t>(frame) * static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        if (HDC dc = GetDC(WINDOWS[i])) {
            SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, image, &format, DIB_RGB_COLORS);
            ReleaseDC(WINDOWS[i], dc);
        }
    }
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
        if (event.type == SDL_MOUSEMOTION)
            mouse_moved();
    }
}

// String `id` of the saver's string table in one language into `text`, cut to its size; false
// where that language lacks it. A block of the table holds 16 strings, each a length and that
// many UTF-16 units.
static bool table_text(UINT id, LANGID language, wchar_t *text, std::size_t size)
{
    HMODULE self = GetModuleHandleW(nullptr);
    const auto string_table = MAKEINTRESOURCEW(6); // RT_STRING, in its wide form
    HRSRC found = FindResourceExW(self, string_table, MAKEINTRESOURCEW(id / 16 + 1), language);
    const auto *block = found ? static_cast<const WCHAR *>(LockResource(LoadResource(self, found))) : nullptr;
    if (block == nullptr)
        return false;
    for (UINT i = 0; i < id % 16; i++)
        block += 1 + *block;
    const std::size_t length = *block < size ? *block : size - 1;
    std::wmemcpy(text, block + 1, length);
    text[length] = L'\0';
    return length > 0;
}

// String `id` in Windows' display language: its own, else the language's for any region (German
// for Austria), else English: chosen here, in that order, rather than left to Windows' own
// fallbacks, which may take any language of the table for one it lacks.
static void display_language_text(UINT id, wchar_t *text, std::size_t size)
{
    const LANGID ui = GetUserDefaultUILanguage();
    const LANGID languages[] = {ui, static_cast<LANGID>(MAKELANGID(PRIMARYLANGID(ui), SUBLANG_NEUTRAL)),
                                static_cast<LANGID>(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL))};
    const bool found = std::any_of(std::begin(languages), std::end(languages),
                                   [&](LANGID language) { return table_text(id, language, text, size); });
    if (!found)
        std::swprintf(text, size, L"Velmorade has nothing to set.");
}

int main(int argc, char *argv[])
{
    std::uintptr_t handle = 0;
    SDL_Surface *screen = nullptr;
    switch (scr_mode(argc, argv, handle)) {
    case SCR_SETTINGS: {
        wchar_t text[256];
        display_language_text(1, text, std::size(text));
        MessageBoxW(nullptr, text, L"Velmorade", MB_OK | MB_ICONINFORMATION);
        return 0;
    }
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
