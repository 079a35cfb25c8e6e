// wayland_output.cpp: in a Wayland session of several outputs, which one the compositor gives a
// new window.
//
// A Wayland client is told nothing of where it will be shown until its window is on screen, and
// SDL shows a full-screen window on the first output it lists, or sizes it for that one while
// the compositor puts it on another. So the program first maps a window of one transparent
// pixel, which the compositor places as it places any new window, on the output in focus; reads
// which output that surface entered; and closes it again before SDL starts.
#include "place/place.h"

#if defined(VELMORADE_HAVE_WAYLAND)
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

// A compositor answers within a frame or two; the bound is for one on a machine under load, and
// past it SDL's own choice stands.
constexpr int ANSWER_MS = 3000;

static wl_compositor *COMPOSITOR;
static wl_shm *SHM;
static xdg_wm_base *WM_BASE;
static zxdg_output_manager_v1 *OUTPUT_MANAGER;
static wl_output *OUTPUTS[MAX_MONITORS];
static zxdg_output_v1 *OUTPUT_PLACES[MAX_MONITORS];
static int OUTPUT_X[MAX_MONITORS], OUTPUT_Y[MAX_MONITORS];
static int OUTPUT_COUNT;
static wl_buffer *PIXEL;
static wl_output *ENTERED;

// Listeners gain members with each version of libwayland and wayland-protocols; those of later
// versions than the ones bound stay null, as their events never come.
static zxdg_output_v1_listener PLACE_LISTENER;
static wl_surface_listener SURFACE_LISTENER;

// Where the output lies in the compositor's layout, in its own units, as SDL and Xwayland place it.
// cppcheck-suppress constParameter ; the listener's type
static void logical_position(void *, zxdg_output_v1 *place, int32_t x, int32_t y)
{
    for (int i = 0; i < OUTPUT_COUNT; i++)
        if (OUTPUT_PLACES[i] == place) {
            OUTPUT_X[i] = x;
            OUTPUT_Y[i] = y;
        }
}
static void logical_size(void *, zxdg_output_v1 *, int32_t, int32_t) {}
static void place_done(void *, zxdg_output_v1 *) {}

static void global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        COMPOSITOR = static_cast<wl_compositor *>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        SHM = static_cast<wl_shm *>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        WM_BASE = static_cast<xdg_wm_base *>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        OUTPUT_MANAGER = static_cast<zxdg_output_manager_v1 *>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && OUTPUT_COUNT < MAX_MONITORS) {
        OUTPUTS[OUTPUT_COUNT++] = static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, 1));
    }
}
static void global_remove(void *, wl_registry *, uint32_t) {}
static const wl_registry_listener REGISTRY_LISTENER = {global, global_remove};

static void ping(void *, xdg_wm_base *wm_base, uint32_t serial)
{
    xdg_wm_base_pong(wm_base, serial);
}
static const xdg_wm_base_listener WM_BASE_LISTENER = {ping};

// The first configure allows the window its content: one transparent pixel.
static void configure(void *surface, xdg_surface *xdg, uint32_t serial)
{
    xdg_surface_ack_configure(xdg, serial);
    wl_surface_attach(static_cast<wl_surface *>(surface), PIXEL, 0, 0);
    wl_surface_commit(static_cast<wl_surface *>(surface));
}
static const xdg_surface_listener XDG_SURFACE_LISTENER = {configure};

static void enter(void *, wl_surface *, wl_output *output)
{
    if (ENTERED == nullptr)
        ENTERED = output;
}
static void leave(void *, wl_surface *, wl_output *) {}

// A buffer of one 32-bit pixel, all zero: ARGB's transparent black.
static wl_buffer *transparent_pixel()
{
    const int fd = memfd_create("velmorade-pixel", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    wl_buffer *buffer = nullptr;
    if (ftruncate(fd, 4) == 0) {
        wl_shm_pool *pool = wl_shm_create_pool(SHM, fd, 4);
        buffer = wl_shm_pool_create_buffer(pool, 0, 1, 1, 4, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
    }
    close(fd);
    return buffer;
}

// Reads the compositor's events until the surface has entered an output or the bound has passed.
static void await_entry(wl_display *display)
{
    using clock = std::chrono::steady_clock;
    const clock::time_point deadline = clock::now() + std::chrono::milliseconds(ANSWER_MS);
    while (ENTERED == nullptr) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) {
            wl_display_cancel_read(display);
            return;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            return;
    }
}

// Maps the probe window and notes the output it enters.
static void probe(wl_display *display)
{
    PIXEL = transparent_pixel();
    if (PIXEL == nullptr)
        return;
    wl_surface *surface = wl_compositor_create_surface(COMPOSITOR);
    wl_surface_add_listener(surface, &SURFACE_LISTENER, nullptr);
    xdg_wm_base_add_listener(WM_BASE, &WM_BASE_LISTENER, nullptr);
    xdg_surface *xdg = xdg_wm_base_get_xdg_surface(WM_BASE, surface);
    xdg_surface_add_listener(xdg, &XDG_SURFACE_LISTENER, surface);
    xdg_toplevel *toplevel = xdg_surface_get_toplevel(xdg);
    xdg_toplevel_set_title(toplevel, "Velmorade");
    // A fixed size: tiling compositors float such a window rather than rearrange the others.
    xdg_toplevel_set_min_size(toplevel, 1, 1);
    xdg_toplevel_set_max_size(toplevel, 1, 1);
    wl_surface_commit(surface);
    await_entry(display);
    xdg_toplevel_destroy(toplevel);
    xdg_surface_destroy(xdg);
    wl_surface_destroy(surface);
    wl_buffer_destroy(PIXEL);
}

static void forget(wl_registry *registry)
{
    for (int i = 0; i < OUTPUT_COUNT; i++) {
        if (OUTPUT_PLACES[i] != nullptr)
            zxdg_output_v1_destroy(OUTPUT_PLACES[i]);
        wl_output_destroy(OUTPUTS[i]);
    }
    if (OUTPUT_MANAGER != nullptr)
        zxdg_output_manager_v1_destroy(OUTPUT_MANAGER);
    if (WM_BASE != nullptr)
        xdg_wm_base_destroy(WM_BASE);
    if (SHM != nullptr)
        wl_shm_destroy(SHM);
    if (COMPOSITOR != nullptr)
        wl_compositor_destroy(COMPOSITOR);
    wl_registry_destroy(registry);
}

bool wayland_focused_output(int &x, int &y)
{
    static bool asked, found;
    static int found_x, found_y;
    const char *socket = std::getenv("WAYLAND_DISPLAY");
    if (!asked && socket != nullptr && *socket != '\0') {
        asked = true;
        if (wl_display *display = wl_display_connect(nullptr)) {
            PLACE_LISTENER.logical_position = logical_position;
            PLACE_LISTENER.logical_size = logical_size;
            PLACE_LISTENER.done = place_done;
            SURFACE_LISTENER.enter = enter;
            SURFACE_LISTENER.leave = leave;
            wl_registry *registry = wl_display_get_registry(display);
            wl_registry_add_listener(registry, &REGISTRY_LISTENER, nullptr);
            wl_display_roundtrip(display); // the globals
            if (OUTPUT_COUNT > 1 && OUTPUT_MANAGER != nullptr && COMPOSITOR != nullptr && SHM != nullptr &&
                WM_BASE != nullptr) {
                for (int i = 0; i < OUTPUT_COUNT; i++) {
                    OUTPUT_PLACES[i] = zxdg_output_manager_v1_get_xdg_output(OUTPUT_MANAGER, OUTPUTS[i]);
                    zxdg_output_v1_add_listener(OUTPUT_PLACES[i], &PLACE_LISTENER, nullptr);
                }
                wl_display_roundtrip(display); // the outputs' positions
                probe(display);
            }
            for (int i = 0; i < OUTPUT_COUNT; i++)
                if (OUTPUTS[i] == ENTERED) {
                    found = true;
                    found_x = OUTPUT_X[i];
                    found_y = OUTPUT_Y[i];
                }
            forget(registry);
            wl_display_disconnect(display);
        }
    }
    x = found_x;
    y = found_y;
    return found;
}

#else

bool wayland_focused_output(int &, int &)
{
    return false;
}

#endif
