// error_box.cpp: the error box: a line on stderr, then a Windows message box, a small X11 dialog
// or, in a browser, the page's dialog. It never calls SDL, since SDL may be what failed.
#include "shell/error_box.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>

// A modal box with no owner, an error icon and an OK button.
static void show_box(const char *title, const char *text)
{
    MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR);
}

#elif defined(VELMORADE_HAVE_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

constexpr int BOX_MARGIN = 16;
constexpr int ICON_SIZE = 32;
constexpr int BUTTON_WIDTH = 80;
constexpr int BUTTON_HEIGHT = 26;
constexpr std::size_t WRAP_COLUMNS = 72;

// Splits text at newlines, and long lines at the last space before WRAP_COLUMNS.
static std::vector<std::string> wrap_lines(const char *text)
{
    std::vector<std::string> lines;
    std::string rest = text;
    while (true) {
        std::size_t end = rest.find('\n');
        std::size_t next = end == std::string::npos ? end : end + 1;
        if (std::min(end, rest.size()) > WRAP_COLUMNS) {
            const std::size_t space = rest.rfind(' ', WRAP_COLUMNS);
            end = space == std::string::npos || space == 0 ? WRAP_COLUMNS : space;
            next = space == std::string::npos || space == 0 ? end : end + 1;
        }
        lines.push_back(rest.substr(0, end));
        if (next == std::string::npos || next >= rest.size())
            break;
        rest.erase(0, next);
    }
    return lines;
}

struct Box {
    Display *dpy;
    Window win;
    GC gc;
    XFontStruct *font;
    unsigned long red;
    int width, height;
    int button_x, button_y;
    std::vector<std::string> lines;
};

static void draw_box(const Box &b)
{
    const int line_height = b.font->ascent + b.font->descent + 2;
    const int screen = DefaultScreen(b.dpy);
    XClearWindow(b.dpy, b.win);

    // Error icon: a red disc with a white exclamation mark.
    XSetForeground(b.dpy, b.gc, b.red);
    XFillArc(b.dpy, b.win, b.gc, BOX_MARGIN, BOX_MARGIN, ICON_SIZE, ICON_SIZE, 0, 360 * 64);
    XSetForeground(b.dpy, b.gc, WhitePixel(b.dpy, screen));
    XFillRectangle(b.dpy, b.win, b.gc, BOX_MARGIN + ICON_SIZE / 2 - 2, BOX_MARGIN + 7, 4, 12);
    XFillRectangle(b.dpy, b.win, b.gc, BOX_MARGIN + ICON_SIZE / 2 - 2, BOX_MARGIN + 22, 4, 4);

    XSetForeground(b.dpy, b.gc, BlackPixel(b.dpy, screen));
    const int text_x = BOX_MARGIN * 2 + ICON_SIZE;
    for (std::size_t i = 0; i < b.lines.size(); i++) {
        const std::string &line = b.lines[i];
        XDrawString(b.dpy, b.win, b.gc, text_x, BOX_MARGIN + b.font->ascent + static_cast<int>(i) * line_height,
                    line.c_str(), static_cast<int>(line.size()));
    }

    XDrawRectangle(b.dpy, b.win, b.gc, b.button_x, b.button_y, BUTTON_WIDTH, BUTTON_HEIGHT);
    const int ok_width = XTextWidth(b.font, "OK", 2);
    XDrawString(b.dpy, b.win, b.gc, b.button_x + (BUTTON_WIDTH - ok_width) / 2,
                b.button_y + (BUTTON_HEIGHT + b.font->ascent - b.font->descent) / 2, "OK", 2);
    XFlush(b.dpy);
}

static bool on_button(const Box &b, int x, int y)
{
    return x >= b.button_x && x <= b.button_x + BUTTON_WIDTH && y >= b.button_y && y <= b.button_y + BUTTON_HEIGHT;
}

// SDL, which may still be running when the box shows, turns SIGTERM and SIGINT into an event
// that nobody reads while the box waits: a logout could not end the program. They end it at
// once, with the status it ends with after the box.
static void end_now(int)
{
    _exit(1);
}

// Shows the dialog and returns once it has been dismissed. Does nothing without a display.
static void show_box(const char *title, const char *text)
{
    std::signal(SIGTERM, end_now);
    std::signal(SIGINT, end_now);
    alarm(0); // the box waits as long as its reader takes, past any bound on the display
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr)
        return;
    const int screen = DefaultScreen(dpy);
    Box b{};
    b.dpy = dpy;
    b.lines = wrap_lines(text);
    b.font = XLoadQueryFont(dpy, "fixed");
    if (b.font == nullptr)
        b.font = XQueryFont(dpy, XGContextFromGC(DefaultGC(dpy, screen)));

    int text_width = 0;
    for (const std::string &line : b.lines)
        text_width = std::max(text_width, XTextWidth(b.font, line.c_str(), static_cast<int>(line.size())));
    const int line_height = b.font->ascent + b.font->descent + 2;
    const int text_height = std::max(ICON_SIZE, static_cast<int>(b.lines.size()) * line_height);
    b.width = std::max(BOX_MARGIN * 3 + ICON_SIZE + text_width, 240);
    b.height = BOX_MARGIN * 3 + text_height + BUTTON_HEIGHT;
    b.button_x = (b.width - BUTTON_WIDTH) / 2;
    b.button_y = b.height - BOX_MARGIN - BUTTON_HEIGHT;

    XColor red{}, exact{};
    const Colormap colormap = DefaultColormap(dpy, screen);
    b.red = XAllocNamedColor(dpy, colormap, "red3", &red, &exact) ? red.pixel : BlackPixel(dpy, screen);

    const int x = std::max(0, (DisplayWidth(dpy, screen) - b.width) / 2);
    const int y = std::max(0, (DisplayHeight(dpy, screen) - b.height) / 2);
    b.win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), x, y, static_cast<unsigned>(b.width),
                                static_cast<unsigned>(b.height), 1, BlackPixel(dpy, screen), WhitePixel(dpy, screen));

    // Title for old and new window managers alike, a fixed size, and a dialog's window type.
    XStoreName(dpy, b.win, title);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XChangeProperty(dpy, b.win, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(title), static_cast<int>(std::strlen(title)));
    const Atom dialog = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(dpy, b.win, XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&dialog), 1);
    XSizeHints *hints = XAllocSizeHints();
    if (hints != nullptr) {
        hints->flags = PPosition | PMinSize | PMaxSize;
        hints->x = x;
        hints->y = y;
        hints->min_width = hints->max_width = b.width;
        hints->min_height = hints->max_height = b.height;
        XSetWMNormalHints(dpy, b.win, hints);
        XFree(hints);
    }
    XClassHint class_hint{const_cast<char *>("velmorade"), const_cast<char *>("Velmorade")};
    XSetClassHint(dpy, b.win, &class_hint);
    Atom delete_window = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, b.win, &delete_window, 1);

    XSelectInput(dpy, b.win, ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
    b.gc = XCreateGC(dpy, b.win, 0, nullptr);
    XSetFont(dpy, b.gc, b.font->fid);
    XMapRaised(dpy, b.win);

    bool pressed = false;
    for (bool done = false; !done;) {
        XEvent event;
        XNextEvent(dpy, &event);
        switch (event.type) {
        case MapNotify:
            // Like a message box, take the keyboard so that Return answers it at once.
            XSetInputFocus(dpy, b.win, RevertToPointerRoot, CurrentTime);
            break;
        case Expose:
            if (event.xexpose.count == 0)
                draw_box(b);
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            done = key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
            break;
        }
        case ButtonPress:
            pressed = event.xbutton.button == Button1 && on_button(b, event.xbutton.x, event.xbutton.y);
            break;
        case ButtonRelease:
            done = pressed && on_button(b, event.xbutton.x, event.xbutton.y);
            pressed = false;
            break;
        case ClientMessage:
            done = static_cast<Atom>(event.xclient.data.l[0]) == delete_window;
            break;
        default:
            break;
        }
    }
    XCloseDisplay(dpy);
}

#elif defined(__EMSCRIPTEN__)
#include <emscripten.h>

// In a browser, the page's own modal dialog. It cannot hold the program until OK is pressed: the
// program ends behind it and the page shows its start screen once the dialog is closed.
EM_JS(void, show_box, (const char *title, const char *text),
      { Module['showBox'](UTF8ToString(title), UTF8ToString(text)); });

#else

// No box to be had: the line on stderr is all there is.
static void show_box(const char *, const char *) {}

#endif

void showError(const char *text, int fatal)
{
    const char *title = fatal ? "Fatal-Error" : "Error";
    // The same line on every platform; on Windows, SDL's start-up code sends stderr to stderr.txt.
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::fflush(stderr);
    show_box(title, text);
    if (fatal)
        std::exit(1);
}
