// pattern.h: the frame store's layout and the generator that fills it with the whole animation.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::int32_t LINE_WIDTH = 5; // width of one stripe band, in units of the stripe coordinate
constexpr std::int32_t FRAMES = 14;    // frames in the cycle

// The only two pixel words, laid out as on a 32-bit xRGB surface.
constexpr std::uint32_t BLACK = 0x00000000;
constexpr std::uint32_t WHITE = 0x00FFFFFF;

// The store holds FRAMES frames of width x height words each, frame after frame, rows top to
// bottom, no gap between rows: pixel (x, y) of frame f is word f*W*H + y*W + x.
// Sets bytes to the store's size and returns true, or returns false if the size cannot be
// represented in a std::size_t.
bool store_bytes(std::int32_t width, std::int32_t height, std::size_t &bytes);

// A block of `bytes` for the store that lives until the process ends, or nullptr. Large blocks
// come in huge pages where the system has them, so that their first write is fast.
std::uint32_t *new_store(std::size_t bytes);

// Sets the display size the frames are drawn for, and the disc's radius, a fifth of its height.
void set_geometry(std::int32_t width, std::int32_t height);

// Fills every frame of the store for the current SCREEN_WIDTH, SCREEN_HEIGHT and INNER_CIRCLE.
void calc(std::uint32_t *store);
