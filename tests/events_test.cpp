// events_test.cpp: which queued events end the program, and that they do so before drawing.
#include "pattern/pattern.h"
#include "shell/shell.h"
#include "velmorade.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <vector>

namespace
{

class Events : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
    void TearDown() override { SDL_Quit(); }
};

void push_key(Uint8 type, SDLKey key)
{
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void push_type(Uint8 type)
{
    SDL_Event event{};
    event.type = type;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

// Events that must be read and dropped: Escape released, other keys, the mouse, focus.
void push_harmless()
{
    push_key(SDL_KEYUP, SDLK_ESCAPE);
    push_key(SDL_KEYDOWN, SDLK_a);
    push_key(SDL_KEYUP, SDLK_a);
    push_key(SDL_KEYDOWN, SDLK_q);
    push_type(SDL_MOUSEMOTION);
    push_type(SDL_MOUSEBUTTONDOWN);
    push_type(SDL_ACTIVEEVENT);
    push_type(SDL_VIDEOEXPOSE);
}

using EventsDeathTest = Events;

TEST_F(EventsDeathTest, EscapeAnywhereInTheQueueEnds)
{
    push_harmless();
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    push_harmless();
    EXPECT_EXIT(handle_events(), ::testing::ExitedWithCode(1), "");
}

TEST_F(EventsDeathTest, QuitRequestEnds)
{
    push_harmless();
    push_type(SDL_QUIT);
    EXPECT_EXIT(handle_events(), ::testing::ExitedWithCode(1), "");
}

TEST_F(Events, OtherEventsAreDrainedAndDropped)
{
    push_harmless();
    handle_events();
    SDL_Event event;
    EXPECT_EQ(SDL_PollEvent(&event), 0) << "left in the queue: type " << int(event.type);
}

TEST_F(EventsDeathTest, EscapeQueuedBeforeTheLoopEndsItBeforeAnyFrameIsDrawn)
{
    // The surface's pixels are shared with the child that runs the loop, so the parent sees
    // whatever it drew before it ended.
    constexpr int w = 8, h = 4;
    constexpr std::size_t bytes = std::size_t{w} * h * 4;
    SCREEN_WIDTH = w;
    SCREEN_HEIGHT = h;
    const std::vector<std::uint32_t> store(std::size_t{w} * h * FRAMES, WHITE);
    void *shared = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto *pixels = static_cast<std::uint32_t *>(shared);
    std::fill(pixels, pixels + std::ptrdiff_t{w} * h, 0x12345678u);
    SDL_Surface *surface = SDL_CreateRGBSurfaceFrom(shared, w, h, 32, w * 4, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(surface, nullptr);

    push_harmless();
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    EXPECT_EXIT(frame_loop(surface, store.data()), ::testing::ExitedWithCode(1), "");
    for (int i = 0; i < w * h; i++)
        ASSERT_EQ(pixels[i], 0x12345678u) << "pixel " << i << " was drawn";

    // A frame drawn in the child does reach the parent: the check above can fail.
    EXPECT_EXIT(
        {
            draw_buf(surface, store.data(), 0);
            std::exit(1);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(pixels[0], WHITE);
    SDL_FreeSurface(surface);
    munmap(shared, bytes);
}

} // namespace
