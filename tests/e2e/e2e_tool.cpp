// e2e_tool.cpp: helpers for the end-to-end tests.
//   e2e_tool match W H FILE [X Y]
//                             print which frame a screenshot (xwd, or binary PPM) shows, or fail;
//                             with X Y, the W x H part of a larger one at that place
//   e2e_tool close WINDOW     ask a window to close, as a window manager's close button does
//   e2e_tool window W H       open a W x H window, print its id, keep it until killed
#include "reference.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Reads a big-endian 32-bit field of the XWD header.
static std::uint32_t field(const std::vector<unsigned char> &file, int index)
{
    const unsigned char *p = &file[std::size_t(index) * 4];
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Screenshots are read whole into one colour a pixel, row by row: BLACK and WHITE as the frames hold
// them, anything else some other value.
constexpr std::uint32_t NEITHER = 1;

// A binary PPM: a browser's screenshot, converted.
static bool read_ppm(const std::vector<unsigned char> &file, int &width, int &height, const char *path,
                     std::vector<std::uint32_t> &colours)
{
    int w = 0, h = 0, max = 0, header = 0;
    const std::string text(file.begin(),
                           file.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(file.size(), 64)));
    if (std::sscanf(text.c_str(), "P6 %d %d %d%n", &w, &h, &max, &header) != 3 || max != 255 || w <= 0 || h <= 0 ||
        file.size() < std::size_t(header) + 1 + std::size_t(w) * h * 3) {
        std::fprintf(stderr, "%s is not a binary PPM\n", path);
        return false;
    }
    width = w;
    height = h;
    const unsigned char *rgb = &file[std::size_t(header) + 1];
    colours.resize(std::size_t(width) * height);
    for (std::size_t i = 0; i < colours.size(); i++, rgb += 3)
        colours[i] = std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
    return true;
}

// X's own XWD format. TrueColor colours are read through the visual's masks, so that any depth
// compares exactly; an 8-bit screen's pixels are looked up in the colormap the file carries.
static bool read_xwd(const std::vector<unsigned char> &file, int &width, int &height, const char *path,
                     std::vector<std::uint32_t> &colours)
{
    if (file.size() < 100 || field(file, 1) != 7 || field(file, 2) != ZPixmap) {
        std::fprintf(stderr, "%s is not an XWD screenshot\n", path);
        return false;
    }
    const int w = int(field(file, 4)), h = int(field(file, 5));
    const bool msb_first = field(file, 7) == MSBFirst;
    const int bytes = int(field(file, 11)) / 8;
    const std::size_t line = field(file, 12);
    const bool indexed = field(file, 13) < TrueColor;
    const std::uint32_t entries = field(file, 19);
    const std::size_t start = field(file, 0) + std::size_t(entries) * 12;
    if (w <= 0 || h <= 0 || bytes < 1 || bytes > 4 || file.size() < start + line * h) {
        std::fprintf(stderr, "%s is a %dx%d screenshot at %d bytes a pixel, which cannot be read\n", path, w, h, bytes);
        return false;
    }
    width = w;
    height = h;
    const std::uint32_t rgb = field(file, 14) | field(file, 15) | field(file, 16);
    std::vector<std::uint32_t> palette;
    if (indexed) {
        palette.assign(std::size_t{1} << std::min(bytes * 8, 16), NEITHER); // not in the colormap
        for (std::uint32_t i = 0; i < entries; i++) {
            const unsigned char *c = &file[field(file, 0) + std::size_t(i) * 12];
            const std::uint32_t pixel = std::uint32_t(c[0]) << 24 | std::uint32_t(c[1]) << 16 | c[2] << 8 | c[3];
            if (pixel < palette.size())
                palette[pixel] = std::uint32_t(c[4]) << 16 | std::uint32_t(c[6]) << 8 | c[8];
        }
    }
    colours.resize(std::size_t(width) * height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char *p = &file[start + y * line + std::size_t(x) * bytes];
            std::uint32_t pixel = 0;
            for (int i = 0; i < bytes; i++)
                pixel |= std::uint32_t(p[msb_first ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
            std::uint32_t &colour = colours[std::size_t(y) * width + x];
            if (indexed)
                colour = pixel < palette.size() ? palette[pixel] : NEITHER;
            else
                colour = (pixel & rgb) == rgb ? WHITE : (pixel & rgb) == 0 ? BLACK : NEITHER;
        }
    return true;
}

// Prints which frame the width x height part of a screenshot (XWD, or binary PPM) at (left, top)
// shows, or fails. Without a place the screenshot must be exactly that size.
static int match(int width, int height, const char *path, bool placed, int left, int top)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::uint32_t> colours;
    int w = 0, h = 0;
    const bool ppm = file.size() > 2 && file[0] == 'P' && file[1] == '6';
    if (!(ppm ? read_ppm(file, w, h, path, colours) : read_xwd(file, w, h, path, colours)))
        return 1;
    if (placed ? left < 0 || top < 0 || left + width > w || top + height > h : w != width || h != height) {
        std::fprintf(stderr, "the screenshot is %dx%d, which holds no %dx%d picture at %d,%d\n", w, h, width, height,
                     left, top);
        return 1;
    }
    for (int f = 0; f < REFERENCE_FRAMES; f++) {
        bool same = true;
        for (int y = 0; y < height && same; y++)
            for (int x = 0; x < width && same; x++)
                same = colours[std::size_t(y + top) * w + std::size_t(x + left)] ==
                       reference_pixel(width, height, height / 5, f, x, y);
        if (same) {
            std::printf("%d\n", f);
            return 0;
        }
    }
    std::fprintf(stderr, "the %dx%d picture is none of the %d frames\n", width, height, REFERENCE_FRAMES);
    return 1;
}

static int close_window(Window window)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, window, False, NoEventMask, &event);
    XCloseDisplay(dpy);
    return 0;
}

// A window for a screen saver to draw into, as a settings dialog's preview is.
static int open_window(unsigned width, unsigned height)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, width, height, 0, 0,
                                              WhitePixel(dpy, DefaultScreen(dpy)));
    XStoreName(dpy, window, "e2e preview");
    XMapWindow(dpy, window);
    XSync(dpy, False);
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(dpy, &event);
    }
}

int main(int argc, char *argv[])
{
    if ((argc == 5 || argc == 7) && std::strcmp(argv[1], "match") == 0)
        return match(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], argc == 7, argc == 7 ? std::atoi(argv[5]) : 0,
                     argc == 7 ? std::atoi(argv[6]) : 0);
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return close_window(std::strtoul(argv[2], nullptr, 0));
    if (argc == 4 && std::strcmp(argv[1], "window") == 0)
        return open_window(std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10));
    std::fprintf(stderr, "usage: e2e_tool match W H FILE [X Y] | close WINDOW | window W H\n");
    return 2;
}
