// place.h: where the picture goes: X11 or Wayland, which monitor (on Windows too), and the
// desktop's size in pixels.
//
// SDL 1.2 has no say in any of it, so the program tells SDL through its environment, before it
// starts or before the mode is set. Every variable it may set, each only where the user has not:
//   SDL_VIDEODRIVER            "x11" or "wayland" in a Wayland session: X11 unless X would
//                              magnify a scaled output; "wayland" for a moment while it probes.
//   SDL_RENDER_DRIVER          "software": a copy a frame, where GL on the CPU costs a core.
//   SDL_FRAMEBUFFER_ACCELERATION  "0" on X11 but for deep colour: the window's own framebuffer.
//   SDL_OPENGL_LIBRARY         a library that does not exist, on X11 in software, so that
//                              sdl12-compat's window for OpenGL fails before it shows.
//   SDL_VIDEO_WAYLAND_SCALE_TO_DISPLAY  "0": the compositor's units, as SDL 2 reports them; while
//                              probing, and on Wayland on an unscaled output.
//   SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR  "0" on Wayland: no decorations for a full-screen window.
//   SDL_VIDEO_FULLSCREEN_DISPLAY  SDL's number for the output in focus, in a Wayland session of
//                              several outputs; unset again where X11 is taken.
//   SDL_VIDEO_CENTERED         "1" with that number on Wayland, where sdl12-compat opens its window
//                              on display 0 otherwise; unset where a monitor's place is given.
//   SDL_VIDEO_WINDOW_POS       "x,y" of the monitor the program fills, on several monitors, or of
//                              the primary one, where the Windows screen saver's SDL window goes.
//   CACA_DRIVER                "null" under classic SDL where no SDL_VIDEODRIVER is named, so that
//                              its fallback without a display, libcaca, never starts curses on the
//                              terminal. (Debian's classic SDL has no aalib, the other text driver.)
// Under classic SDL the program touches only the last three; on Windows only the two before.
#pragma once

#include <SDL.h>

// Monitors, outputs or SDL displays looked at; a desktop has fewer.
constexpr int MAX_MONITORS = 16;

// True when the linked SDL 1.2 is sdl12-compat, over SDL 2 or SDL 3.
bool sdl_is_compat(const SDL_version &linked);

// SDL's names (video drivers, settings) compared without case; an unset one (null) matches none.
bool same_name(const char *a, const char *b);

// True when SDL would use X11: no other video driver is named in SDL_VIDEODRIVER.
bool sdl_uses_x11();

// Chooses, before SDL starts, how SDL 2 and 3 under sdl12-compat present: in a Wayland session the
// Wayland driver where X11 would be magnified (a scaled output that X has no monitor of its own
// pixels for) or there is no X server, else X11; on X11 without OpenGL, but on a deep-colour
// display. Under classic SDL, that libcaca draws nowhere. Sets only what the user has not set.
void choose_presentation(const SDL_version &linked);

// True when SDL would draw on an X display of 8 bits per pixel or fewer.
bool palettized_display();

// The largest of a mode list from SDL_ListModes; false when it lists none, or every size.
bool largest_mode(SDL_Rect **modes, int &width, int &height);

// The size a desktop-sized mode takes, once video has started: the desktop's, and on Wayland the
// output's own pixels, which SDL 2 lists as its largest mode while it reports the scaled size.
void desktop_size(int &width, int &height);

// True on a desktop of several monitors, X's or Windows', with the one the program fills in
// `monitor`.
bool pick_monitor(SDL_Rect &monitor);

// Has SDL open its next window at this place.
void place_window(const SDL_Rect &place);

// Puts SDL's window on the monitor and has it shown full screen there: on X11 through the window
// manager, where there is one.
void fill_monitor(const SDL_Rect &monitor);

// What the desktop reports of its monitors, in its own coordinates (Windows': the primary
// monitor's top-left corner at 0, 0, others possibly left of or above it).
struct Monitors {
    SDL_Rect screen; // the whole desktop: X's screen, Windows' virtual screen
    SDL_Rect list[MAX_MONITORS];
    int count;
    int primary; // an index, or -1 where none is marked
    bool pointer_found;
    int pointer_x, pointer_y;
};

// Fills `monitors` from X where SDL would use X11 (with the output in focus for the pointer, in a
// Wayland session), or from Windows; false where there is neither. X may report no monitor.
bool desktop_monitors(Monitors &monitors);

#if defined(_WIN32)
// Puts SDL's window on the monitor, above every other window, as a screen saver covers it.
void cover_monitor(const SDL_Rect &monitor);
#endif

// Which of `count` monitors the program fills: the first that holds the pointer, else the
// primary one (an index, or -1 for none), else the first.
int monitor_at(const SDL_Rect *monitors, int count, int primary, bool pointer_found, int pointer_x, int pointer_y);

// Between the files here:

// True when the two are one place and size.
inline bool same_place(const SDL_Rect &a, const SDL_Rect &b)
{
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

// The X display's bits per pixel where SDL would use X11, else 0 (as without an X display).
int x11_depth();

// True where X reports a monitor of exactly this place and size, or, reporting none, a screen of
// that size at the origin.
bool x11_has_monitor(const SDL_Rect &place);

// In a Wayland session of several outputs, the compositor's position of the one it gives a new
// window, the one in focus; false with one output, outside Wayland, or when it does not say.
bool wayland_focused_output(int &x, int &y);
