// x11.cpp: what X reports of its display (depth, screen, monitors, pointer), and how a window is
// put on one of its monitors.
//
// X reports monitors through RandR 1.5, which includes those a user defines with xrandr
// --setmonitor, or through Xinerama where RandR has none. Full screen at a size other than the
// X screen's would have SDL try to switch modes, so the program opens a borderless window of the
// monitor's size at its place and asks the window manager, where there is one, for its
// full-screen state.
#include "place/place.h"

#if defined(VELMORADE_HAVE_X11)
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#if defined(VELMORADE_HAVE_XRANDR)
#include <X11/extensions/Xrandr.h>
#endif
#if defined(VELMORADE_HAVE_XINERAMA)
#include <X11/extensions/Xinerama.h>
#endif

#include <dlfcn.h>

// Monitors as rectangles of the root window; X's 16-bit coordinates fit an SDL_Rect.
static SDL_Rect rect(int x, int y, int w, int h)
{
    return SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w), static_cast<Uint16>(h)};
}

// RandR 1.5's monitors, which include those a user defines with xrandr --setmonitor.
static int randr_monitors(Display *dpy, SDL_Rect *out, int &primary)
{
    int count = 0;
#if defined(VELMORADE_HAVE_XRANDR)
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(dpy, &event_base, &error_base) || !XRRQueryVersion(dpy, &major, &minor) ||
        major * 100 + minor < 105)
        return 0;
    int listed = 0;
    XRRMonitorInfo *info = XRRGetMonitors(dpy, DefaultRootWindow(dpy), True, &listed);
    for (int i = 0; info != nullptr && i < listed && count < MAX_MONITORS; i++) {
        if (info[i].width <= 0 || info[i].height <= 0)
            continue;
        if (info[i].primary)
            primary = count;
        out[count++] = rect(info[i].x, info[i].y, info[i].width, info[i].height);
    }
    if (info != nullptr)
        XRRFreeMonitors(info);
#else
    (void)dpy, (void)out, (void)primary;
#endif
    return count;
}

// Xinerama's heads: a server that joins several X screens into one has no RandR.
static int xinerama_heads(Display *dpy, SDL_Rect *out)
{
    int count = 0;
#if defined(VELMORADE_HAVE_XINERAMA)
    int event_base = 0, error_base = 0, listed = 0;
    if (!XineramaQueryExtension(dpy, &event_base, &error_base) || !XineramaIsActive(dpy))
        return 0;
    XineramaScreenInfo *info = XineramaQueryScreens(dpy, &listed);
    for (int i = 0; info != nullptr && i < listed && count < MAX_MONITORS; i++)
        if (info[i].width > 0 && info[i].height > 0)
            out[count++] = rect(info[i].x_org, info[i].y_org, info[i].width, info[i].height);
    if (info != nullptr)
        XFree(info);
#else
    (void)dpy, (void)out;
#endif
    return count;
}

// What X reports, asked once, before SDL starts or else as the mode is set: the presentation, the
// palette test and the monitor pick all want it, and it does not change in between.
static bool X_ASKED;
static int X_DEPTH;       // bits per pixel; 0 without an X display
static Monitors X_REPORT; // RandR's monitors, else Xinerama's heads; the pointer on several

static void ask_x()
{
    if (X_ASKED)
        return;
    X_ASKED = true;
    X_REPORT.primary = -1;
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr)
        return; // SDL says why itself
    const int screen = DefaultScreen(dpy);
    X_DEPTH = DefaultDepth(dpy, screen);
    X_REPORT.screen = rect(0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen));
    X_REPORT.count = randr_monitors(dpy, X_REPORT.list, X_REPORT.primary);
    if (X_REPORT.count == 0)
        X_REPORT.count = xinerama_heads(dpy, X_REPORT.list);
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned int buttons = 0;
    if (X_REPORT.count > 1)
        X_REPORT.pointer_found = XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &X_REPORT.pointer_x,
                                               &X_REPORT.pointer_y, &wx, &wy, &buttons);
    XCloseDisplay(dpy);
}

int x11_depth()
{
    if (!sdl_uses_x11())
        return 0;
    ask_x();
    return X_DEPTH;
}

bool desktop_monitors(Monitors &monitors)
{
    if (!sdl_uses_x11())
        return false;
    ask_x();
    if (X_DEPTH == 0)
        return false;
    monitors = X_REPORT;
    // Xwayland's pointer is wherever it last left an X window; the compositor knows better.
    int x = 0, y = 0;
    if (monitors.count > 1 && wayland_focused_output(x, y)) {
        monitors.pointer_found = true;
        monitors.pointer_x = x;
        monitors.pointer_y = y;
    }
    return true;
}

bool x11_has_monitor(const SDL_Rect &place)
{
    ask_x();
    if (X_DEPTH == 0)
        return false;
    if (X_REPORT.count == 0)
        return same_place(place, X_REPORT.screen);
    for (int i = 0; i < X_REPORT.count; i++)
        if (same_place(place, X_REPORT.list[i]))
            return true;
    return false;
}

// SDL 3 under sdl12-compat takes the window manager's full-screen state for one of its own, on
// what it counts as the window's display: where that is the whole X screen, as with monitors
// that RandR has no output for or Xinerama's heads, it then draws for the whole screen's size
// into the monitor's window.
static bool on_sdl3()
{
    void *sdl3 = dlopen("libSDL3.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (sdl3 != nullptr)
        dlclose(sdl3);
    return sdl3 != nullptr;
}

// SDL 3 places a new window as it likes, so the window is moved to the monitor again. The window
// manager's full-screen state keeps panels and docks off it; it fills the monitor the window lies
// on, which is already the window's own size. Without a window manager nobody answers, and the
// borderless window stays where it was put, as it does on SDL 3.
void fill_monitor(const SDL_Rect &monitor)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11)
        return;
    Display *dpy = info.info.x11.display;
    // Classic SDL's top window is the manager's; sdl12-compat has only the one window.
    const Window window = info.info.x11.wmwindow != 0 ? info.info.x11.wmwindow : info.info.x11.window;
    if (info.info.x11.lock_func != nullptr)
        info.info.x11.lock_func();
    XMoveWindow(dpy, window, monitor.x, monitor.y);
    if (!on_sdl3()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(dpy, "_NET_WM_STATE", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
        event.xclient.data.l[1] = static_cast<long>(XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False));
        event.xclient.data.l[3] = 1; // from a normal application
        XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    // The keyboard, as full screen has it: without a window manager the focus may have been
    // left on no window at all by the last program that held it.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(dpy, window, RevertToPointerRoot, CurrentTime);
    XFlush(dpy);
    if (info.info.x11.unlock_func != nullptr)
        info.info.x11.unlock_func();
}

#else

// Without X: the web page, where nothing is placed, and Windows, which lists its monitors in
// windows.cpp.
int x11_depth()
{
    return 0;
}

bool x11_has_monitor(const SDL_Rect &)
{
    return false;
}

#if !defined(_WIN32)
bool desktop_monitors(Monitors &)
{
    return false;
}

void fill_monitor(const SDL_Rect &) {}
#endif

#endif
