// reference.h: the stripe arithmetic written out plainly for one pixel, the yardstick for calc.
#pragma once

#include "pattern/pattern.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

// The pattern's numbers, written out again so that a changed constant in the program shows.
constexpr std::int32_t REFERENCE_LINE_WIDTH = 5;
constexpr std::int32_t REFERENCE_FRAMES = 14;

inline std::uint32_t reference_pixel(std::int32_t width, std::int32_t height, std::int32_t inner, std::int32_t frame,
                                     std::int32_t x, std::int32_t y)
{
    const std::int32_t dx = std::abs(x - width / 2);
    const std::int32_t dy = std::abs(y - height / 2);
    std::int32_t d = (dx + dy) / 2;
    const double r = std::sqrt(static_cast<double>(std::int64_t{dx} * dx + std::int64_t{dy} * dy));
    if (r > inner)
        d -= frame;
    else
        d += frame;
    const std::int32_t band = d / REFERENCE_LINE_WIDTH;
    return band % 3 == 0 ? BLACK : WHITE;
}
