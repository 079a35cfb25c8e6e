// shell.h: the program's life: which SDL it takes, the error box, the stop signals and the lost
// display, and the frame loop that puts the stored frames on the display.
#pragma once

#include "shell/error_box.h"

#include <SDL.h>

#include <cstdint>

// True when the linked SDL can set a desktop-sized 32-bit mode: each byte is tested on its own.
bool sdl_is_recent(const SDL_version &linked);

// True when the video driver SDL started shows pictures to someone: drivers that draw nowhere
// (dummy, offscreen) or only as text (caca, aalib) count only when asked for by name in
// `requested`, the value of SDL_VIDEODRIVER (may be null).
bool is_display_driver(const char *driver, const char *requested);

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

// Copies frame `frame` of a store of width x height frames, whatever the geometry made last, to
// the locked surface, never writing past the surface's own w, h and pitch.
void put_frame(SDL_Surface *surface, const std::uint32_t *store, int width, int height, int frame);

// Copies frame `frame` of the store to the surface and flips it.
void draw_buf(SDL_Surface *surface, const std::uint32_t *store, int frame);

// How long to sleep so that a pass started at `start` lasts fps milliseconds; `now` may have
// wrapped past zero since `start`.
Uint32 frame_delay(Uint32 start, Uint32 now);

// Shows the cycle from frame 0 until the process ends.
[[noreturn]] void frame_loop(SDL_Surface *surface, const std::uint32_t *store);
