// pixels.h: the stored frames as a display's own pixels, whatever its format.
#pragma once

#include <cstddef>
#include <cstdint>

// The white of a display without a palette, given its black: every bit of the colour masks too.
// SDL 1.2.15 maps 255 to 0 on channels wider than 8 bits (30-bit deep colour), which would make
// white black.
constexpr std::uint32_t mask_white(std::uint32_t black, std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return black | red | green | blue;
}

// Rewrites `words` words of a store just computed into a display's own 32-bit black and white,
// once, so that showing a frame there is a copy; store_holds then knows them.
void recolour_store(std::uint32_t *store, std::size_t words, std::uint32_t black, std::uint32_t white);

// True when the store's words are this black and white: the generator's, or the last given to
// recolour_store.
bool store_holds(std::uint32_t black, std::uint32_t white);

// True when this machine stores a word's lowest byte first.
bool lsb_first();

// Writes cols x rows pixels of a stored frame `width` pixels wide to `out`, rows `pitch` bytes
// apart, as `bytes`-byte pixels (1 to 4) in this machine's byte order, black and white being the
// given values: for pixel memory laid out otherwise than the store.
void convert_frame(const std::uint32_t *frame, int width, int cols, int rows, std::uint8_t *out, std::size_t pitch,
                   int bytes, std::uint32_t black, std::uint32_t white);
