// velmorade.h: the display geometry and frame store shared by the shell and the pattern generator.
#pragma once

#include <cstdint>

// Display size in pixels and the radius of the central disc, written once at start-up.
extern std::int32_t SCREEN_WIDTH;
extern std::int32_t SCREEN_HEIGHT;
extern std::int32_t INNER_CIRCLE;

// All frames of the cycle, one after another; the layout is in pattern/pattern.h.
extern std::uint32_t *buf;

// Frame period in milliseconds: the animation runs at no more than 40 frames a second.
constexpr std::int32_t fps = 25;
