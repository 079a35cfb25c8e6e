// saver.h: how both screen savers fail. A saver the system starts has nobody to answer a box, so a
// failure is a line on standard error, headed by the saver's name, and status 1.
#pragma once

#include <cstdio>
#include <cstdlib>

// The saver's name, as its lines on standard error begin; each saver defines its own.
extern const char *const SAVER_NAME;

[[noreturn]] inline void saver_fail(const char *what, const char *detail = "")
{
    std::fprintf(stderr, "%s: %s%s\n", SAVER_NAME, what, detail);
    std::exit(1);
}
