// frame_loop.cpp: plays the stored frames on the display, in its own pixels, one every 25 ms, until
// Escape or quit.
#include "pattern/pattern.h"
#include "pattern/pixels.h"
#include "shell/shell.h"
#include "velmorade.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>

// Puts a stored frame on the page's canvas through a view of the program's memory, so that the
// browser reads the frame where it lies. Through SDL's lock each pass would copy it twice more:
// into the surface's buffer, then into SDL's own ImageData. Addresses past 2 GB come as negative
// ints.
EM_JS(void, show_on_canvas, (const std::uint32_t *frame, int width, int height), {
    const pixels = new Uint8ClampedArray(HEAPU8.buffer, frame >>> 0, width * height * 4);
    Module['canvas'].getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
});
#endif

void handle_events()
{
    if (stop_signalled())
        std::exit(1);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT)
            std::exit(1);
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)
            std::exit(1);
    }
}

// Black and white as the surface's pixels.
static void surface_colours(const SDL_PixelFormat *format, Uint32 &black, Uint32 &white)
{
    black = SDL_MapRGB(format, 0, 0, 0);
    white = format->palette != nullptr ? SDL_MapRGB(format, 255, 255, 255)
                                       : mask_white(black, format->Rmask, format->Gmask, format->Bmask);
}

// True when the store's words are the surface's own pixels, so that a frame is shown as it lies.
static bool store_fits(const SDL_PixelFormat *format)
{
    Uint32 black = 0, white = 0;
    surface_colours(format, black, white);
    return format->BytesPerPixel == 4 && store_holds(black, white);
}

void match_store(const SDL_Surface *surface, std::uint32_t *store)
{
    if (surface->format->BytesPerPixel != 4)
        return;
    Uint32 black = 0, white = 0;
    surface_colours(surface->format, black, white);
    const std::size_t words = static_cast<std::size_t>(SCREEN_WIDTH) * static_cast<std::size_t>(SCREEN_HEIGHT) * FRAMES;
    recolour_store(store, words, black, white);
}

void put_frame(SDL_Surface *surface, const std::uint32_t *store, int width, int height, int frame)
{
    const std::size_t w = static_cast<std::size_t>(width);
    const std::uint32_t *image = store + static_cast<std::size_t>(frame) * w * static_cast<std::size_t>(height);
    const int cols = std::min(width, surface->w);
    const int rows = std::min(height, surface->h);
    const SDL_PixelFormat *format = surface->format;
    const auto pitch = static_cast<std::size_t>(surface->pitch);
    auto *pixels = static_cast<Uint8 *>(surface->pixels);
    if (!store_fits(format)) {
        // 8, 16 and 24 bits, or another 32-bit layout: pixel by pixel, as the surface's own colours.
        Uint32 black = 0, white = 0;
        surface_colours(format, black, white);
        convert_frame(image, width, cols, rows, pixels, pitch, format->BytesPerPixel, black, white);
        return;
    }
    if (pitch == w * 4 && cols == width && rows == height) {
        // The surface holds exactly the stored frame's image: one block copy.
        std::memcpy(pixels, image, w * static_cast<std::size_t>(height) * 4);
        return;
    }
    for (int row = 0; row < rows; row++)
        std::memcpy(pixels + static_cast<std::size_t>(row) * pitch, image + static_cast<std::size_t>(row) * w,
                    static_cast<std::size_t>(cols) * 4);
}

void draw_buf(SDL_Surface *surface, const std::uint32_t *store, int frame)
{
#if defined(__EMSCRIPTEN__)
    const std::size_t frame_words = static_cast<std::size_t>(SCREEN_WIDTH) * static_cast<std::size_t>(SCREEN_HEIGHT);
    // The store already holds the canvas's own opaque pixels, at the canvas's size.
    if (surface->w == SCREEN_WIDTH && surface->h == SCREEN_HEIGHT && store_fits(surface->format)) {
        show_on_canvas(store + static_cast<std::size_t>(frame) * frame_words, SCREEN_WIDTH, SCREEN_HEIGHT);
        return;
    }
#endif
    // A surface that cannot be locked now keeps its old picture for this pass.
    if (SDL_LockSurface(surface) == 0) {
        put_frame(surface, store, SCREEN_WIDTH, SCREEN_HEIGHT, frame);
        SDL_UnlockSurface(surface);
    }
    SDL_Flip(surface);
}

Uint32 frame_delay(Uint32 start, Uint32 now)
{
    const Uint32 elapsed = now - start; // unsigned: right across a wrap of the tick counter
    const Uint32 period = fps;
    return elapsed > period ? 0 : period - elapsed;
}

// Waits out the rest of a pass. In a browser the wait gives the page back to the browser:
// Emscripten's SDL_Delay is emscripten_sleep under another name, which Emscripten 6 no longer
// lists among the calls that wait, so the program would go on while its stack unwinds; by its
// own name Asyncify knows it.
static void wait_ms(Uint32 ms)
{
#if defined(__EMSCRIPTEN__)
    emscripten_sleep(ms);
#else
    SDL_Delay(ms);
#endif
}

void frame_loop(SDL_Surface *surface, const std::uint32_t *store)
{
    stop_signals_at_next_pass();
    for (int frame = 0;; frame = (frame + 1) % FRAMES) {
        const Uint32 start = SDL_GetTicks();
        handle_events();
        draw_buf(surface, store, frame);
        wait_ms(frame_delay(start, SDL_GetTicks()));
    }
}
