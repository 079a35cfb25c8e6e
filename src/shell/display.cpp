// display.cpp: which SDL releases can take the desktop's size, and which video drivers count as
// a display.
#include "place/place.h"
#include "shell/shell.h"

#include <algorithm>
#include <iterator>

// SDL releases before 1.2.10 cannot pick the desktop size for a mode of 0 x 0. The bytes are
// compared one by one, so 1.3.0 and 2.0.0 take the fixed window too.
bool sdl_is_recent(const SDL_version &linked)
{
    return linked.major != 0 && linked.minor > 1 && linked.patch > 9;
}

// With no display, SDL 2 falls back to a driver that draws into memory and classic SDL to one
// that draws into the terminal; the animation would play to nobody.
bool is_display_driver(const char *driver, const char *requested)
{
    const char *const blind[] = {"dummy", "offscreen", "caca", "aalib"};
    const bool shows_nothing =
        std::any_of(std::begin(blind), std::end(blind), [driver](const char *name) { return same_name(driver, name); });
    return !shows_nothing || (requested != nullptr && same_name(driver, requested));
}
