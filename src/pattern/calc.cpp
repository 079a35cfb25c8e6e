// calc.cpp: draws every frame of the concentric diamond stripes into the frame store.
//
// A pixel dx, dy from the centre has the stripe coordinate d = (dx + dy) / 2, moved by the frame
// number f: d + f inside the disc of radius INNER_CIRCLE (stripes run inward), d - f outside it
// (they run outward). The pixel is black where the band d / LINE_WIDTH is a multiple of 3.
//
// Worked out pixel by pixel that is a square root for each of W x H x FRAMES pixels. calc copies
// whole stretches of a row from a ready-made strip of the pattern instead, which is exact because:
//  - with t = dx + dy - 2f outside the disc and t = dx + dy + 2f inside it, d = floor(t / 2), so
//    a pixel's colour depends on t alone, and t steps by one from pixel to pixel along a row;
//  - for t >= 0 that colour repeats every 2 * 3 * LINE_WIDTH values of t, so one strip serves
//    every row of every frame, read from a different start;
//  - the disc covers one span of columns around the centre, |dx| <= rx, found once per row.
// Writing the store is then a matter of copying from a strip that stays in the cache.
#include "pattern/pattern.h"
#include "velmorade.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr std::int32_t PERIOD = 3 * LINE_WIDTH; // three bands of d: one black, two white
constexpr std::int32_t CYCLE = 2 * PERIOD;      // the same in t, two pixels to a value of d
constexpr std::int32_t CHUNK = 64 * CYCLE;      // pixels copied from a strip at a time

// Truncating division puts d = -4 .. 4 in band 0 and makes bands -1, -2 white, so the colour
// depends on |d| alone: black where |d| mod PERIOD < LINE_WIDTH.
constexpr bool is_black(std::int32_t d)
{
    return (d < 0 ? -d : d) % PERIOD < LINE_WIDTH;
}

// The colour of t, for any t: d = floor(t / 2).
constexpr std::uint32_t colour(std::int32_t t)
{
    const std::int32_t d = t >= 0 ? t / 2 : -((1 - t) / 2);
    return is_black(d) ? BLACK : WHITE;
}

// Strips of the pattern for t >= 0: UP[i] is the colour of t = i, DOWN[i] that of t = -i taken
// modulo CYCLE, so that stretches running either way are one copy from the right start.
using Strip = std::array<std::uint32_t, CYCLE + CHUNK>;
constexpr Strip make_strip(std::int32_t step)
{
    Strip strip{};
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(strip.size()); i++)
        strip[static_cast<std::size_t>(i)] = colour((step * i % CYCLE + CYCLE) % CYCLE);
    return strip;
}
constexpr Strip UP = make_strip(1);
constexpr Strip DOWN = make_strip(-1);

// Writes n pixels whose t runs from t0 up (step 1) or down (step -1).
void put_run(std::uint32_t *out, std::int32_t t0, std::int32_t n, std::int32_t step)
{
    // Pixels with t < 0 lie outside the disc with dx + dy under 26, which only screens under 125
    // pixels high have; there the pattern does not repeat, so they are done one by one.
    for (; n > 0 && t0 < 0; n--, t0 += step)
        *out++ = colour(t0);
    // From here t0 >= 0; a run going down may still end below zero, after the strip.
    const std::int32_t tail = step < 0 && n > 0 ? std::max(n - (t0 + 1), 0) : 0;
    n -= tail;
    const Strip &strip = step > 0 ? UP : DOWN;
    std::int32_t start = step > 0 ? t0 % CYCLE : (CYCLE - t0 % CYCLE) % CYCLE;
    for (std::int32_t len = 0; n > 0; out += len, n -= len, start = (start + len) % CYCLE) {
        len = std::min(n, CHUNK);
        std::memcpy(out, strip.data() + start, static_cast<std::size_t>(len) * sizeof *out);
    }
    for (std::int32_t t = -1; t >= -tail; t--)
        *out++ = colour(t);
}

// The largest dx inside the disc on the row dy from the centre (dx^2 + dy^2 <= radius^2), or -1.
// The square root of an exact integer is correctly rounded, so for any radius below 2^25 this
// integer test agrees with comparing sqrt(dx^2 + dy^2) with the radius in double precision.
std::int32_t disc_span(std::int32_t radius, std::int32_t dy)
{
    if (radius < 0 || dy > radius)
        return -1;
    const std::int64_t room = std::int64_t{radius} * radius - std::int64_t{dy} * dy;
    auto rx = static_cast<std::int64_t>(std::sqrt(static_cast<double>(room)));
    while (rx * rx > room)
        rx--;
    while ((rx + 1) * (rx + 1) <= room)
        rx++;
    return static_cast<std::int32_t>(rx);
}

// Fills the row dy rows from the centre for frame f: left of the centre from the edge inward,
// then right of it outward, each side as its part outside the disc and its part inside.
void fill_row(std::uint32_t *row, std::int32_t width, std::int32_t dy, std::int32_t f, std::int32_t rx)
{
    const std::int32_t cx = width / 2;
    const std::int32_t right = width - 1 - cx;                      // dx runs 1 .. cx left, 0 .. right right
    const std::int32_t left_in = std::clamp(rx, 0, cx);             // inside: dx 1 .. left_in
    const std::int32_t right_in = std::clamp(rx + 1, 0, right + 1); // inside: dx 0 .. right_in - 1
    const std::int32_t t_out = dy - 2 * f, t_in = dy + 2 * f;       // t at dx = 0
    put_run(row, cx + t_out, cx - left_in, -1);
    put_run(row + cx - left_in, left_in + t_in, left_in, -1);
    put_run(row + cx, t_in, right_in, 1);
    put_run(row + cx + right_in, right_in + t_out, right + 1 - right_in, 1);
}

} // namespace

void calc(std::uint32_t *store)
{
    const std::int32_t width = SCREEN_WIDTH;
    const std::int32_t height = SCREEN_HEIGHT;
    if (width <= 0 || height <= 0)
        return;
    const std::int32_t cy = height / 2;
    std::uint32_t *row = store;
    for (std::int32_t f = 0; f < FRAMES; f++)
        for (std::int32_t y = 0; y < height; y++, row += width) {
            const std::int32_t dy = std::abs(y - cy);
            fill_row(row, width, dy, f, disc_span(INNER_CIRCLE, dy));
        }
}
