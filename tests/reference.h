// reference.h: the stripe arithmetic written out plainly for one pixel, the yardstick for calc.
#pragma once

#include "pattern/pattern.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

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
    const std::int32_t band = d / LINE_WIDTH;
    return band % 3 == 0 ? BLACK : WHITE;
}
