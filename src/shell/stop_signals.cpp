// stop_signals.cpp: SIGTERM and SIGINT (a logout, Ctrl+C) end the program with status 1, at any
// moment of its life.
//
// SDL turns them into a quit event, which nobody reads while SDL itself waits on a display that
// does not answer, or while the frames are computed. The handler is set before SDL starts, and
// SDL then leaves it in place. Until the frames play, the process ends at once: nothing is on the
// display yet that SDL would have to give back. While they play, the next pass of the loop ends
// it through exit(1), as Escape does, so that SDL gives the display back; should the loop not come
// round within a second, SDL being stuck on a display that has stopped answering, it ends at once.
#include "shell/shell.h"

#include <csignal>

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <unistd.h>

static volatile std::sig_atomic_t playing = 0;
static volatile std::sig_atomic_t stop_asked = 0;

static void on_stop(int signal_number)
{
    if (playing == 0 || signal_number == SIGALRM)
        _exit(1);
    stop_asked = 1;
    alarm(1);
}

void end_on_stop_signals()
{
    std::signal(SIGTERM, on_stop);
    std::signal(SIGINT, on_stop);
}

void stop_signals_at_next_pass()
{
    std::signal(SIGALRM, on_stop);
    playing = 1;
}

bool stop_signalled()
{
    return stop_asked != 0;
}

#else

// Windows ends a program without signals, and a page with its tab.
void end_on_stop_signals() {}
void stop_signals_at_next_pass() {}
bool stop_signalled()
{
    return false;
}

#endif
