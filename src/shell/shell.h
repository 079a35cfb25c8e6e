// shell.h: start-up, the error box and the frame loop that puts the stored frames on the display.
#pragma once

#include "shell/error_box.h"

#include <SDL.h>

#include <cstdint>

// True when the linked SDL can set a desktop-sized 32-bit mode: each byte is tested on its own.
bool sdl_is_recent(const SDL_version &linked);

// True when the linked SDL 1.2 is sdl12-compat, over SDL 2 or SDL 3.
bool sdl_is_compat(const SDL_version &linked);

// True when SDL would use X11: no other video driver is named in SDL_VIDEODRIVER.
bool sdl_uses_x11();

// True when SDL would draw on an X display of 8 bits per pixel or fewer.
bool palettized_display();

// True when the video driver SDL started shows pictures to someone: drivers that draw nowhere
// (dummy, offscreen) or only as text (caca, aalib) count only when asked for by name in
// `requested`, the value of SDL_VIDEODRIVER (may be null).
bool is_display_driver(const char *driver, const char *requested);

// Chooses, before SDL starts, how SDL 2 and 3 under sdl12-compat present: in a Wayland session the
// Wayland driver where X11 would be magnified (a scaled output that X has no monitor of its own
// pixels for) or there is no X server, else X11; on X11 without OpenGL, but on a deep-colour
// display. Sets only what the user has not set.
void choose_presentation(const SDL_version &linked);

// The largest of a mode list from SDL_ListModes; false when it lists none, or every size.
bool largest_mode(SDL_Rect **modes, int &width, int &height);

// The size a desktop-sized mode takes, once video has started: the desktop's, and on Wayland the
// output's own pixels, which SDL 2 lists as its largest mode while it reports the scaled size.
void desktop_size(int &width, int &height);

// Which of `count` monitors the program fills: the first that holds the pointer, else the
// primary one (an index, or -1 for none), else the first.
int monitor_at(const SDL_Rect *monitors, int count, int primary, bool pointer_found, int pointer_x, int pointer_y);

// In a Wayland session of several outputs, the compositor's position of the one it gives a new
// window, the one in focus; false with one output, outside Wayland, or when it does not say.
bool wayland_focused_output(int &x, int &y);

// True where X reports several monitors, with the one the program fills in `monitor`.
bool pick_monitor(SDL_Rect &monitor);

// True where X reports a monitor of exactly this place and size, or, reporting none, a screen of
// that size at the origin.
bool x11_has_monitor(const SDL_Rect &place);

// Has SDL open its next window at the monitor's place.
void place_window(const SDL_Rect &monitor);

// Puts SDL's window on the monitor and asks the window manager to show it full screen there.
void fill_monitor(const SDL_Rect &monitor);

// SIGTERM and SIGINT end the process with status 1 at once, from here on; set before SDL starts,
// so that SDL does not turn them into a quit event instead.
void end_on_stop_signals();

// From here on the frame loop ends the process on SIGTERM or SIGINT, through exit(1) at its next
// pass, or at once if that pass has not come within a second.
void stop_signals_at_next_pass();

// True once SIGTERM or SIGINT has come while the frames play.
bool stop_signalled();

// From here until display_answered, a display that keeps SDL waiting 10 seconds ends the process
// with status 1, the reason on standard error.
void bound_display_wait();
void display_answered();

// From here on, losing the connection to the X server ends the process with status 1.
void end_on_lost_display();

// Drains SDL's event queue; Escape pressed, a quit request or a stop signal ends the process with
// status 1.
void handle_events();

// Gives the store a 32-bit surface's own black and white, once, so that each frame is one copy:
// opaque pixels for a browser's canvas, ten bits a channel for deep colour.
void match_store(const SDL_Surface *surface, std::uint32_t *store);

// Copies frame `frame` of the store to the surface and flips it.
void draw_buf(SDL_Surface *surface, const std::uint32_t *store, int frame);

// How long to sleep so that a pass started at `start` lasts fps milliseconds; `now` may have
// wrapped past zero since `start`.
Uint32 frame_delay(Uint32 start, Uint32 now);

// Shows the cycle from frame 0 until the process ends.
[[noreturn]] void frame_loop(SDL_Surface *surface, const std::uint32_t *store);
