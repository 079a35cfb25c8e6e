// lost_display.cpp: ends the program when the display it draws on goes away, or never answers.
//
// Classic SDL 1.2 exits through Xlib's default handler; SDL 2 under sdl12-compat asks Xlib to
// carry on, and the program then spins on the dead connection for ever. The handler is set
// once SDL has made its own connection and set its own handlers, so nothing replaces it.
#include "shell/shell.h"

#if defined(VELMORADE_HAVE_X11)
#include <X11/Xlib.h>
#include <unistd.h>

// The server is gone, so there is no display to give back: end at once, without the exit
// handlers, which would only talk to the dead connection again.
static int lost_display(Display *)
{
    static const char line[] = "Fatal-Error: Lost the connection to the X server\n";
    (void)!write(STDERR_FILENO, line, sizeof line - 1);
    _exit(1);
}

void end_on_lost_display()
{
    XSetIOErrorHandler(lost_display);
}

#else

void end_on_lost_display() {}

#endif

// A display that never answers (an X server or a compositor that has stopped, or one that waits
// for what SDL never sends it) would keep SDL waiting for good while it starts and sets the mode,
// and the screen black. Past the bound the program ends with status 1 and says why on standard
// error. It shows no box: SDL has been stopped in the middle of a call, and the box would ask the
// same display.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <unistd.h>

constexpr unsigned DISPLAY_ANSWER_SECONDS = 10;
static char silent_line[80]; // written before the bound is armed, for the handler to write out
static std::size_t silent_length = 0;

static void display_silent(int)
{
    (void)!write(STDERR_FILENO, silent_line, silent_length);
    _exit(1);
}

void bound_display_wait()
{
    const int length =
        std::snprintf(silent_line, sizeof silent_line, "Fatal-Error: The display did not answer within %u seconds\n",
                      DISPLAY_ANSWER_SECONDS);
    silent_length = length > 0 ? std::min(static_cast<std::size_t>(length), sizeof silent_line - 1) : 0;
    std::signal(SIGALRM, display_silent);
    alarm(DISPLAY_ANSWER_SECONDS);
}

void display_answered()
{
    alarm(0);
}

#else

void bound_display_wait() {}
void display_answered() {}

#endif
