// xscreensaver_hack.cpp: velmorade-saver, the running diamond stripes as an xscreensaver hack.
//
// It draws the program's frames, computed for the size of the window it is given, into the
// window xscreensaver hands it ($XSCREENSAVER_WINDOW), the settings dialog's preview
// (--window-id), the root window (--root) or a window of its own. It uses Xlib alone, putting
// each frame with MIT-SHM where the server shares memory with it and XPutImage elsewhere: SDL
// cannot draw into another program's window on every SDL 1.2 stack.
#include "pattern/pattern.h"
#include "pattern/pixels.h"
#include "saver/saver.h"
#include "velmorade.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

constexpr int OWN_WIDTH = 1024; // the window of its own, for trying the saver by hand
constexpr int OWN_HEIGHT = 768;
constexpr long FRAME_NS = fps * 1000000L;

static Display *dpy;
static Window win;
static bool own_window;
static Atom wm_delete;
static GC gc;
static XWindowAttributes attr;
static unsigned long black_pixel, white_pixel;

static std::uint32_t *store; // the frames at the window's current size
static int width, height;
static XImage *image;
static XShmSegmentInfo shm;
static bool use_shm;
static bool host_order;  // the image's bytes are in our own order
static bool words_ready; // the store holds the image's own pixels: each frame is one copy

static int x_error;  // the last X error's code, 0 for none
static int shm_base; // MIT-SHM's first request code, or 0

const char *const SAVER_NAME = "velmorade-saver";

// A saver is stopped with SIGTERM: end at once, whatever is under way. The shared memory is
// already marked for removal and the X connection closes with the process.
static void end_now(int)
{
    _exit(0);
}

static int on_x_error(Display *, XErrorEvent *event)
{
    x_error = event->error_code;
    return 0;
}

// Waits for the server to answer everything sent so far; returns the X error it raised, or 0.
static int sync_errors()
{
    x_error = 0;
    XSync(dpy, False);
    return x_error;
}

// A window id as xscreensaver writes it (0x hex) or in decimal; 0 when it is not one.
static Window parse_window(const char *text)
{
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char *digits = hex ? text + 2 : text;
    if (*digits == '\0')
        return 0;
    for (const char *p = digits; *p != '\0'; p++)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(*p)) : std::isdigit(static_cast<unsigned char>(*p))))
            return 0;
    errno = 0;
    const unsigned long id = std::strtoul(digits, nullptr, hex ? 16 : 10);
    return errno == 0 && id <= 0xFFFFFFFFul ? id : 0;
}

static bool is_option(const char *arg, const char *name)
{
    if (arg[0] != '-')
        return false;
    arg += arg[1] == '-' ? 2 : 1;
    return std::strcmp(arg, name) == 0;
}

static void open_own_window()
{
    const int screen = DefaultScreen(dpy);
    win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, OWN_WIDTH, OWN_HEIGHT, 0, BlackPixel(dpy, screen),
                              BlackPixel(dpy, screen));
    XStoreName(dpy, win, "Velmorade");
    wm_delete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, win, &wm_delete, 1);
    XMapWindow(dpy, win);
    own_window = true;
}

// Black and white in the window's visual: every bit of the colour masks on TrueColor.
static void pick_colours()
{
    const Visual *visual = attr.visual;
    if (visual->c_class == TrueColor || visual->c_class == DirectColor) {
        black_pixel = 0;
        white_pixel =
            mask_white(0, static_cast<std::uint32_t>(visual->red_mask), static_cast<std::uint32_t>(visual->green_mask),
                       static_cast<std::uint32_t>(visual->blue_mask));
    } else {
        black_pixel = BlackPixel(dpy, XScreenNumberOfScreen(attr.screen));
        white_pixel = WhitePixel(dpy, XScreenNumberOfScreen(attr.screen));
    }
}

static void free_frames()
{
    if (image == nullptr)
        return;
    if (use_shm) {
        XShmDetach(dpy, &shm);
        XSync(dpy, False);
        shmdt(shm.shmaddr);
        image->data = nullptr;
    }
    XDestroyImage(image);
    image = nullptr;
    std::free(store);
    store = nullptr;
}

// An image of the window's size in memory shared with the server; false where the server cannot
// share it (a remote display, or no MIT-SHM).
static bool make_shared_image()
{
    if (shm_base == 0)
        return false;
    image = XShmCreateImage(dpy, attr.visual, static_cast<unsigned>(attr.depth), ZPixmap, nullptr, &shm,
                            static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr)
        return false;
    // SIGTERM must not end us between making the segment and marking it for removal, or the
    // segment would outlive us.
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, &before);
    shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    void *memory = shm.shmid >= 0 ? shmat(shm.shmid, nullptr, 0) : nullptr;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): shmat's own failure value
    const bool mapped = memory != nullptr && memory != reinterpret_cast<void *>(-1);
    bool attached = false;
    if (mapped) {
        shm.shmaddr = image->data = static_cast<char *>(memory);
        shm.readOnly = False;
        XShmAttach(dpy, &shm);
        attached = sync_errors() == 0;
    }
    if (shm.shmid >= 0)
        shmctl(shm.shmid, IPC_RMID, nullptr); // gone once both ends let go, however we end
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (attached)
        return true;
    if (mapped)
        shmdt(memory);
    image->data = nullptr;
    XDestroyImage(image);
    return false;
}

// An image of the window's size, shared with the server where it can be, else in our own memory.
static void make_image()
{
    use_shm = make_shared_image();
    if (use_shm)
        return;
    image = XCreateImage(dpy, attr.visual, static_cast<unsigned>(attr.depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image == nullptr)
        saver_fail("cannot make an image of the window's size");
    image->data = static_cast<char *>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) * height));
    if (image->data == nullptr)
        saver_fail("out of memory for the image");
}

// Computes every frame for the window's size, exactly as the program does for a screen of it.
static void make_frames()
{
    free_frames();
    width = attr.width;
    height = attr.height;
    set_geometry(width, height);
    std::size_t bytes = 0;
    // From malloc, not new_store, whose block lasts until the process ends: a window that changes
    // size gets new frames, and the old ones are given back.
    if (!store_bytes(width, height, bytes) || (store = static_cast<std::uint32_t *>(std::malloc(bytes))) == nullptr) {
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", width, height);
        saver_fail("no memory for the frames of a window of ", size);
    }
    calc(store);
    make_image();

    // On a 32-bit image in our own byte order the store is turned into the image's pixels once,
    // so that showing a frame is a copy.
    host_order = (image->byte_order == LSBFirst) == lsb_first();
    words_ready = image->bits_per_pixel == 32 && host_order;
    if (words_ready)
        recolour_store(store, bytes / sizeof *store, static_cast<std::uint32_t>(black_pixel),
                       static_cast<std::uint32_t>(white_pixel));
}

// Puts frame f on the window and waits until the server has drawn it, as the next frame goes
// into the same memory.
static void draw_frame(int f)
{
    const std::uint32_t *frame = store + static_cast<std::size_t>(f) * width * height;
    auto *pixels = reinterpret_cast<std::uint8_t *>(image->data);
    const auto pitch = static_cast<std::size_t>(image->bytes_per_line);
    if (words_ready) {
        for (int y = 0; y < height; y++)
            std::memcpy(pixels + y * pitch, frame + static_cast<std::size_t>(y) * width,
                        static_cast<std::size_t>(width) * 4);
    } else if (host_order && image->bits_per_pixel % 8 == 0 && image->bits_per_pixel <= 32) {
        convert_frame(frame, width, width, height, pixels, pitch, image->bits_per_pixel / 8,
                      static_cast<std::uint32_t>(black_pixel), static_cast<std::uint32_t>(white_pixel));
    } else { // other depths and byte orders, through Xlib
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                XPutPixel(image, x, y,
                          frame[static_cast<std::size_t>(y) * width + x] == WHITE ? white_pixel : black_pixel);
    }
    if (use_shm)
        XShmPutImage(dpy, win, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                     False);
    else
        XPutImage(dpy, win, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    const int error = sync_errors();
    if (error == BadWindow || error == BadDrawable)
        std::exit(0); // the window went away before its DestroyNotify reached us
    if (error != 0) {
        char text[128];
        XGetErrorText(dpy, error, text, sizeof text);
        saver_fail("drawing failed: ", text);
    }
}

// Ends with the window, follows its size, and on a window of its own ends on Escape or close.
static void handle_events()
{
    while (XPending(dpy) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        switch (event.type) {
        case DestroyNotify:
            if (event.xdestroywindow.window == win)
                std::exit(0);
            break;
        case ConfigureNotify:
            if (event.xconfigure.window == win &&
                (event.xconfigure.width != width || event.xconfigure.height != height)) {
                attr.width = event.xconfigure.width;
                attr.height = event.xconfigure.height;
                make_frames();
            }
            break;
        case KeyPress:
            if (XLookupKeysym(&event.xkey, 0) == XK_Escape)
                std::exit(0);
            break;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == wm_delete)
                std::exit(0);
            break;
        default:
            break;
        }
    }
}

static long elapsed_ns(const timespec &since)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - since.tv_sec) * 1000000000L + (now.tv_nsec - since.tv_nsec);
}

int main(int argc, char *argv[])
{
    struct sigaction action {
    };
    action.sa_handler = end_now;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    const char *window_arg = nullptr;
    bool root = false;
    for (int i = 1; i < argc; i++) {
        if (is_option(argv[i], "window-id")) {
            if (++i == argc)
                saver_fail("--window-id needs a window id");
            window_arg = argv[i];
        } else if (is_option(argv[i], "root")) {
            root = true;
        } else if (is_option(argv[i], "help")) {
            std::printf("usage: %s [--window-id ID | --root]\n"
                        "Shows Velmorade's running diamond stripes in the window with that id (hex or decimal),\n"
                        "else in $XSCREENSAVER_WINDOW, else on the root window, else in a window of its own.\n",
                        argv[0]);
            return 0;
        } else {
            saver_fail("unknown option: ", argv[i]);
        }
    }
    if (window_arg == nullptr)
        window_arg = std::getenv("XSCREENSAVER_WINDOW");
    if (window_arg != nullptr && parse_window(window_arg) == 0)
        saver_fail("not a window id: ", window_arg);

    dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr)
        saver_fail("cannot open the display ", XDisplayName(nullptr));
    XSetErrorHandler(on_x_error);
    int event_base = 0, error_base = 0;
    if (XShmQueryExtension(dpy))
        XQueryExtension(dpy, "MIT-SHM", &shm_base, &event_base, &error_base);

    if (window_arg != nullptr)
        win = parse_window(window_arg);
    else if (root)
        win = DefaultRootWindow(dpy);
    else
        open_own_window();
    if (!XGetWindowAttributes(dpy, win, &attr) || sync_errors() != 0)
        saver_fail("no such window: ", window_arg != nullptr ? window_arg : "");
    // Only structure events: xscreensaver itself takes the window's key and button events.
    XSelectInput(dpy, win, StructureNotifyMask | (own_window ? KeyPressMask : 0));
    gc = XCreateGC(dpy, win, 0, nullptr);
    pick_colours();
    make_frames();

    for (int frame = 0;; frame = (frame + 1) % FRAMES) {
        timespec start{};
        clock_gettime(CLOCK_MONOTONIC, &start);
        handle_events();
        draw_frame(frame);
        const long left = FRAME_NS - elapsed_ns(start);
        if (left > 0) {
            const timespec pause{0, left};
            nanosleep(&pause, nullptr);
        }
    }
}
