// calc.cpp: draws every frame of the concentric diamond stripes into the frame store.
//
// A pixel dx, dy from the centre has the stripe coordinate d = (dx + dy) / 2, moved by the frame
// number f: d + f inside the disc of radius INNER_CIRCLE (stripes run inward), d - f outside it
// (they run outward). The pixel is black where the band d / LINE_WIDTH is a multiple of 3.
//
// Worked out pixel by pixel that is a square root for each of W x H x FRAMES pixels. calc writes
// whole runs of one colour instead, which is exact because:
//  - d grows by one every two columns, so along a row the colour comes in runs;
//  - the disc covers one span of columns around the centre, |dx| <= rx, found once per row;
//  - the row dy below the centre equals the row dy above it, so one of the two is a copy.
#include "pattern/pattern.h"
#include "velmorade.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr std::int32_t PERIOD = 3 * LINE_WIDTH; // three bands: one black, two white

// Truncating division puts d = -4 .. 4 in band 0 and makes bands -1, -2 white, so the colour
// depends on |d| alone: black where |d| mod PERIOD < LINE_WIDTH.
bool is_black(std::int32_t d)
{
    return std::abs(d) % PERIOD < LINE_WIDTH;
}

// How many consecutive values of d, from d on, share its colour.
std::int32_t run_length(std::int32_t d)
{
    if (d < 0)
        return 1; // only near the centre of screens under 125 pixels high: one value at a time
    const std::int32_t r = d % PERIOD;
    return r < LINE_WIDTH ? LINE_WIDTH - r : PERIOD - r;
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

// Fills the row dy rows from the centre for frame f, run by run, both sides of the centre at once.
void fill_row(std::uint32_t *row, std::int32_t width, std::int32_t dy, std::int32_t f, std::int32_t rx)
{
    const std::int32_t cx = width / 2;
    const std::int32_t right = width - 1 - cx; // largest dx right of the centre; cx is the left's
    const std::int32_t last = std::max(right, cx);
    for (std::int32_t dx = 0; dx <= last;) {
        const bool inside = dx <= rx;
        const std::int32_t d0 = (dx + dy) / 2;
        const std::int32_t d = inside ? d0 + f : d0 - f;
        // The run ends where d leaves its colour (dx = 2 * d0 + 1 - dy is the last column with
        // that d0), or at the rim of the disc, whichever comes first.
        std::int32_t end = 2 * (d0 + run_length(d) - 1) + 1 - dy;
        end = std::min(end, inside ? rx : last);
        const std::uint32_t colour = is_black(d) ? BLACK : WHITE;
        if (dx <= right)
            std::fill(row + cx + dx, row + cx + std::min(end, right) + 1, colour);
        const std::int32_t near = std::max(dx, 1), far = std::min(end, cx);
        if (near <= far)
            std::fill(row + cx - far, row + cx - near + 1, colour);
        dx = end + 1;
    }
}

} // namespace

void calc(std::uint32_t *store)
{
    const std::int32_t width = SCREEN_WIDTH;
    const std::int32_t height = SCREEN_HEIGHT;
    if (width <= 0 || height <= 0)
        return;
    const std::int32_t cy = height / 2;
    const std::size_t row_words = static_cast<std::size_t>(width);
    const std::size_t frame_words = row_words * static_cast<std::size_t>(height);
    const std::int32_t last_dy = std::max(height - 1 - cy, cy);

    for (std::int32_t f = 0; f < FRAMES; f++) {
        std::uint32_t *frame = store + static_cast<std::size_t>(f) * frame_words;
        for (std::int32_t dy = 0; dy <= last_dy; dy++) {
            std::uint32_t *below = cy + dy < height ? frame + static_cast<std::size_t>(cy + dy) * row_words : nullptr;
            std::uint32_t *above = dy > 0 && dy <= cy ? frame + static_cast<std::size_t>(cy - dy) * row_words : nullptr;
            std::uint32_t *row = below != nullptr ? below : above;
            fill_row(row, width, dy, f, disc_span(INNER_CIRCLE, dy));
            if (below != nullptr && above != nullptr)
                std::memcpy(above, below, row_words * sizeof *row);
        }
    }
}
