// lost_display.cpp: ends the program when the X server it draws on goes away.
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
