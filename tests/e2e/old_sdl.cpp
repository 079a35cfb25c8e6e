// old_sdl.cpp: preloaded into velmorade, makes the linked SDL report itself as release 1.2.9.
#include <SDL.h>

extern "C" const SDL_version *SDL_Linked_Version()
{
    static const SDL_version old{1, 2, 9};
    return &old;
}
