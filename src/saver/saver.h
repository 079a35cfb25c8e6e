// saver.h: how both screen savers report. A saver the system starts has nobody to answer a box, so
// what it has to say is a line on standard error, headed by the saver's name; a failure then ends
// it with status 1.
#pragma once

#include <cstdio>
#include <cstdlib>

// The saver's name, as its lines on standard error begin; each saver defines its own.
extern const char *const SAVER_NAME;

inline void saver_say(const char *what, const char *detail = "")
{
    std::fprintf(stderr, "%s: %s%s\n", SAVER_NAME, what, detail);
}

[[noreturn]] inline void saver_fail(const char *what, const char *detail = "")
{
    saver_say(what, detail);
    std::exit(1);
}
