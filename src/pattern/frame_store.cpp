// frame_store.cpp: the size of the block that holds every frame of the animation.
#include "pattern/pattern.h"

#include <cstdint>

bool store_bytes(std::int32_t width, std::int32_t height, std::size_t &bytes)
{
    if (width < 0 || height < 0)
        return false;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    constexpr std::size_t per_pixel = FRAMES * sizeof(std::uint32_t);
    // Checked in size_t: the 32-bit product already overflows at 8K desktop sizes.
    if (h != 0 && w > SIZE_MAX / per_pixel / h)
        return false;
    bytes = w * h * per_pixel;
    return true;
}
