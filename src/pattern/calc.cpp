// calc.cpp: draws every frame of the concentric diamond stripes into the frame store.
#include "pattern/pattern.h"
#include "velmorade.h"

#include <cmath>
#include <cstdlib>

void calc(std::uint32_t *store)
{
    const std::int32_t w = SCREEN_WIDTH;
    const std::int32_t h = SCREEN_HEIGHT;
    std::uint32_t *out = store;
    for (std::int32_t f = 0; f < FRAMES; f++) {
        for (std::int32_t y = 0; y < h; y++) {
            for (std::int32_t x = 0; x < w; x++) {
                const std::int32_t dx = std::abs(x - w / 2);
                const std::int32_t dy = std::abs(y - h / 2);
                std::int32_t d = (dx + dy) / 2;
                // The squares are summed in 64 bits so that no width can overflow them.
                const double r = std::sqrt(static_cast<double>(std::int64_t{dx} * dx + std::int64_t{dy} * dy));
                d = r > INNER_CIRCLE ? d - f : d + f;
                const std::int32_t band = d / LINE_WIDTH;
                *out++ = band % 3 == 0 ? BLACK : WHITE;
            }
        }
    }
}
