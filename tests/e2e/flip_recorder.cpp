// flip_recorder.cpp: preloaded into velmorade, logs which frame each SDL_Flip shows and when.
// Each line of $VELMORADE_FLIP_LOG is "<microseconds> <frame>", frame -1 for a picture that is
// none of the frames, or "<microseconds> caption" when the window caption is set. With
// VELMORADE_FLIP_TIMES_ONLY set, a flip's line is "<microseconds> flip", for benchmarks that
// must not pay for reading each picture.
#include "reference.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{

std::uint64_t hash_step(std::uint64_t hash, bool white)
{
    return (hash ^ (white ? 0x9E3779B9u : 0x7F4A7C15u)) * 1099511628211ull;
}

// A hash of which pixels are white, the same for the surface and for the reference frames.
std::uint64_t surface_hash(SDL_Surface *s)
{
    const Uint32 white = SDL_MapRGB(s->format, 255, 255, 255);
    const int depth = s->format->BytesPerPixel;
    std::uint64_t hash = 14695981039346656037ull;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; y++) {
        const Uint8 *row = static_cast<const Uint8 *>(s->pixels) + std::size_t(y) * s->pitch;
        for (int x = 0; x < s->w; x++) {
            Uint32 pixel = 0;
            std::memcpy(&pixel, row + std::ptrdiff_t{x} * depth, depth);
            hash = hash_step(hash, pixel == white);
        }
    }
    SDL_UnlockSurface(s);
    return hash;
}

std::uint64_t frame_hashes[REFERENCE_FRAMES];
std::FILE *log_file;
bool named; // the caption is set: from here on flips may show frames

long long now_us()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void open_log()
{
    if (log_file == nullptr) {
        const char *path = std::getenv("VELMORADE_FLIP_LOG");
        log_file = std::fopen(path != nullptr ? path : "/dev/null", "w");
        std::setvbuf(log_file, nullptr, _IOLBF, 0);
    }
}

} // namespace

extern "C" void SDL_WM_SetCaption(const char *title, const char *icon)
{
    static auto real = reinterpret_cast<void (*)(const char *, const char *)>(dlsym(RTLD_NEXT, "SDL_WM_SetCaption"));
    open_log();
    std::fprintf(log_file, "%lld caption\n", now_us());
    named = true;
    real(title, icon);
}

extern "C" int SDL_Flip(SDL_Surface *screen)
{
    static auto real = reinterpret_cast<int (*)(SDL_Surface *)>(dlsym(RTLD_NEXT, "SDL_Flip"));
    const long long when = now_us(); // as the flip is asked for, before the picture is read
    static bool hashed = false;
    open_log();
    static const bool times_only = std::getenv("VELMORADE_FLIP_TIMES_ONLY") != nullptr;
    if (named && times_only) {
        std::fprintf(log_file, "%lld flip\n", when);
        return real(screen);
    }
    if (!named) {
        // SDL's own flip that clears the new screen, before the program names its window. The
        // frames' hashes are not worked out yet, so that the program's start is not held up.
        std::fprintf(log_file, "%lld -1\n", when);
        return real(screen);
    }
    if (!hashed) {
        hashed = true;
        for (int f = 0; f < REFERENCE_FRAMES; f++) {
            std::uint64_t hash = 14695981039346656037ull;
            for (int y = 0; y < screen->h; y++)
                for (int x = 0; x < screen->w; x++)
                    hash = hash_step(hash, reference_pixel(screen->w, screen->h, screen->h / 5, f, x, y) == WHITE);
            frame_hashes[f] = hash;
        }
    }
    const std::uint64_t hash = surface_hash(screen);
    int frame = -1;
    for (int f = 0; f < REFERENCE_FRAMES; f++)
        if (frame_hashes[f] == hash)
            frame = f;
    std::fprintf(log_file, "%lld %d\n", when, frame);
    return real(screen);
}
