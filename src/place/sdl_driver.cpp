// sdl_driver.cpp: which SDL 1.2 is linked, and which video driver SDL will take.
#include "place/place.h"

#include <cctype>
#include <cstdlib>

// Classic SDL 1.2 ended at 1.2.15; sdl12-compat, SDL 1.2 over SDL 2 or 3, counts from 1.2.50.
bool sdl_is_compat(const SDL_version &linked)
{
    return linked.major == 1 && linked.minor == 2 && linked.patch >= 50;
}

bool same_name(const char *a, const char *b)
{
    if (a == nullptr || b == nullptr)
        return false;
    for (; *a != '\0' && *b != '\0'; a++, b++)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// SDL takes X11 unless the user names another video driver.
bool sdl_uses_x11()
{
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    return driver == nullptr || *driver == '\0' || same_name(driver, "x11");
}
