// shell_test.cpp: the version rule, the presentation, the frame delay, the monitor choice, and
// draw_buf and put_frame on surfaces of every kind.
#include "pattern/pattern.h"
#include "place/place.h"
#include "shell/shell.h"
#include "velmorade.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

TEST(SdlIsRecent, TestsEachByteOnItsOwn)
{
    const struct {
        Uint8 major, minor, patch;
        bool desktop;
    } cases[] = {{1, 2, 10, true}, {1, 2, 15, true}, {1, 2, 60, true},  {1, 2, 9, false},  {1, 2, 0, false},
                 {1, 3, 0, false}, {2, 0, 0, false}, {0, 2, 10, false}, {1, 1, 10, false}, {2, 2, 10, true}};
    for (const auto &c : cases) {
        const SDL_version v{c.major, c.minor, c.patch};
        EXPECT_EQ(sdl_is_recent(v), c.desktop) << int(c.major) << "." << int(c.minor) << "." << int(c.patch);
    }
}

TEST(FrameDelay, SleepsWhatRemainsOfThePeriod)
{
    EXPECT_EQ(frame_delay(1000, 1000), 25u);
    EXPECT_EQ(frame_delay(1000, 1010), 15u);
    EXPECT_EQ(frame_delay(1000, 1024), 1u);
    EXPECT_EQ(frame_delay(1000, 1025), 0u);
    EXPECT_EQ(frame_delay(1000, 1040), 0u);
    // 6 ms before the tick counter wraps to 5 ms after it: 11 ms have passed.
    EXPECT_EQ(frame_delay(0xFFFFFFFAu, 5), 14u);
    EXPECT_EQ(frame_delay(0xFFFFFFF0u, 0x10), 0u);
}

TEST(IsDisplayDriver, DriversThatShowNothingCountOnlyWhenAskedFor)
{
    for (const char *real : {"x11", "wayland", "kmsdrm", "fbcon", "windib", "directx"}) {
        EXPECT_TRUE(is_display_driver(real, nullptr)) << real;
        EXPECT_TRUE(is_display_driver(real, "x11")) << real;
    }
    for (const char *blind : {"dummy", "offscreen", "caca", "aalib"}) {
        EXPECT_FALSE(is_display_driver(blind, nullptr)) << blind;
        EXPECT_FALSE(is_display_driver(blind, "x11")) << blind;
        EXPECT_FALSE(is_display_driver(blind, "")) << blind;
        EXPECT_TRUE(is_display_driver(blind, blind)) << blind;
    }
    EXPECT_TRUE(is_display_driver("offscreen", "OffScreen"));
    EXPECT_FALSE(is_display_driver("dummy", "dumm"));
    EXPECT_FALSE(is_display_driver("dummy", "dummy2"));
}

TEST(ChoosePresentation, SoftwareOnX11WhereTheUserChoseNothing)
{
    const SDL_version compat{1, 2, 68};
    unsetenv("DISPLAY"); // a deep-colour one would keep SDL's framebuffer
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_RENDER_DRIVER");
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "opengl", 1);
    choose_presentation(compat);
    EXPECT_STREQ(std::getenv("SDL_RENDER_DRIVER"), "software");
    EXPECT_STREQ(std::getenv("SDL_FRAMEBUFFER_ACCELERATION"), "opengl");
    EXPECT_EQ(std::getenv("SDL_VIDEODRIVER"), nullptr);
    setenv("SDL_RENDER_DRIVER", "opengl", 1);
    unsetenv("SDL_FRAMEBUFFER_ACCELERATION");
    choose_presentation(compat);
    EXPECT_STREQ(std::getenv("SDL_RENDER_DRIVER"), "opengl");
    EXPECT_STREQ(std::getenv("SDL_FRAMEBUFFER_ACCELERATION"), "0");
    // OpenGL stays loadable for a user's GL renderer or framebuffer, and is kept out otherwise.
    EXPECT_EQ(std::getenv("SDL_OPENGL_LIBRARY"), nullptr);
    unsetenv("SDL_RENDER_DRIVER");
    choose_presentation(compat);
    EXPECT_NE(std::getenv("SDL_OPENGL_LIBRARY"), nullptr);
    setenv("SDL_OPENGL_LIBRARY", "libGL.so.1", 1);
    choose_presentation(compat);
    EXPECT_STREQ(std::getenv("SDL_OPENGL_LIBRARY"), "libGL.so.1");
    unsetenv("SDL_OPENGL_LIBRARY");
    unsetenv("SDL_RENDER_DRIVER");
    unsetenv("SDL_FRAMEBUFFER_ACCELERATION");
}

// SDL 3 refuses to start on Wayland without a GPU framebuffer, so a Wayland driver the user named
// keeps SDL's framebuffer; classic SDL, which has no renderer, is told nothing.
TEST(ChoosePresentation, NoSoftwareFramebufferOnWaylandOrClassicSdl)
{
    unsetenv("SDL_RENDER_DRIVER");
    unsetenv("SDL_FRAMEBUFFER_ACCELERATION");
    setenv("SDL_VIDEODRIVER", "Wayland", 1);
    choose_presentation(SDL_version{1, 2, 68});
    EXPECT_EQ(std::getenv("SDL_FRAMEBUFFER_ACCELERATION"), nullptr);
    EXPECT_STREQ(std::getenv("SDL_VIDEODRIVER"), "Wayland");
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("SDL_RENDER_DRIVER");
    unsetenv("WAYLAND_DISPLAY");
    choose_presentation(SDL_version{1, 2, 15});
    EXPECT_EQ(std::getenv("SDL_FRAMEBUFFER_ACCELERATION"), nullptr);
    EXPECT_EQ(std::getenv("SDL_RENDER_DRIVER"), nullptr);
}

TEST(LargestMode, TheOutputsOwnPixelsAmongSdlsModes)
{
    SDL_Rect big{0, 0, 2880, 1620}, small{0, 0, 1920, 1080};
    SDL_Rect *modes[] = {&small, &big, nullptr};
    int width = 0, height = 0;
    ASSERT_TRUE(largest_mode(modes, width, height));
    EXPECT_EQ(width, 2880);
    EXPECT_EQ(height, 1620);
    // A 1280 x 720 output, with one of sdl12-compat's made-up sizes of more pixels but narrower.
    SDL_Rect hd{0, 0, 1280, 720}, made_up{0, 0, 1152, 864}, taller{0, 0, 1280, 1024};
    SDL_Rect *hd_modes[] = {&made_up, &hd, nullptr};
    ASSERT_TRUE(largest_mode(hd_modes, width, height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    SDL_Rect *same_width[] = {&hd, &taller, nullptr};
    ASSERT_TRUE(largest_mode(same_width, width, height));
    EXPECT_EQ(height, 1024);
    SDL_Rect *none[] = {nullptr};
    EXPECT_FALSE(largest_mode(none, width, height));
    EXPECT_FALSE(largest_mode(nullptr, width, height));
    // SDL 1.2's marker for "every size".
    EXPECT_FALSE(largest_mode(reinterpret_cast<SDL_Rect **>(-1), width, height)); // NOLINT(performance-no-int-to-ptr)
    EXPECT_EQ(width, 1280);
}

TEST(MonitorAt, ThePointersMonitorElseThePrimaryElseTheFirst)
{
    // Side by side, the second smaller and lower; its edges are where an off-by-one would show.
    const SDL_Rect monitors[] = {{0, 0, 1920, 1080}, {1920, 56, 1280, 1024}};
    EXPECT_EQ(monitor_at(monitors, 2, -1, true, 2500, 500), 1);
    EXPECT_EQ(monitor_at(monitors, 2, -1, true, 1920, 56), 1);
    EXPECT_EQ(monitor_at(monitors, 2, -1, true, 3199, 1079), 1);
    EXPECT_EQ(monitor_at(monitors, 2, -1, true, 1919, 1079), 0);
    EXPECT_EQ(monitor_at(monitors, 2, 1, true, 0, 0), 0);
    // Above the lower monitor lies no monitor at all, and the pointer may be on another screen.
    EXPECT_EQ(monitor_at(monitors, 2, 1, true, 2500, 10), 1);
    EXPECT_EQ(monitor_at(monitors, 2, -1, true, 2500, 10), 0);
    EXPECT_EQ(monitor_at(monitors, 2, 1, false, 100, 100), 1);
    EXPECT_EQ(monitor_at(monitors, 2, -1, false, 2500, 500), 0);
    // Windows' monitors left of and above the primary one lie at negative coordinates.
    const SDL_Rect windows[] = {{0, 0, 1024, 768}, {-1280, -300, 1280, 720}};
    EXPECT_EQ(monitor_at(windows, 2, 0, true, 0, 0), 0);
    EXPECT_EQ(monitor_at(windows, 2, 0, true, -1, 0), 1);
    EXPECT_EQ(monitor_at(windows, 2, 0, true, -1280, -300), 1);
    EXPECT_EQ(monitor_at(windows, 2, 0, true, -1, 420), 0);
    EXPECT_EQ(monitor_at(windows, 2, 0, true, -1281, 0), 0);
    // Mirrored monitors overlap: the first that holds the pointer.
    const SDL_Rect mirrored[] = {{0, 0, 1280, 1024}, {0, 0, 1920, 1080}};
    EXPECT_EQ(monitor_at(mirrored, 2, 1, true, 100, 100), 0);
    EXPECT_EQ(monitor_at(mirrored, 2, 0, true, 1500, 100), 1);
}

constexpr std::int32_t W = 13;
constexpr std::int32_t H = 7;
constexpr Uint8 UNTOUCHED = 0xA5;

// A store whose frames all differ, so that a wrong frame or offset shows.
std::vector<std::uint32_t> make_store()
{
    std::vector<std::uint32_t> store(std::size_t{W} * H * FRAMES);
    for (std::size_t i = 0; i < store.size(); i++)
        store[i] = (i * 2654435761u >> 7) % 3 == 0 ? WHITE : BLACK;
    return store;
}

class DrawBuf : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override
    {
        SCREEN_WIDTH = W;
        SCREEN_HEIGHT = H;
    }

    // Draws `frame` on a surface over our own memory, with guard bytes past its end, and checks
    // every pixel through `expect(pixel bytes, stored word)` and that nothing else was written.
    // With `other_geometry`, through put_frame after frames of another size were made last, as
    // for the saver's other monitors: the store's own size must count.
    template <typename Expect>
    void check(int w, int h, int depth, int pitch, Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask,
               Expect expect, bool other_geometry = false)
    {
        const std::vector<std::uint32_t> store = make_store();
        std::vector<Uint8> memory(static_cast<std::size_t>(pitch) * h + 64, UNTOUCHED);
        SDL_Surface *surface = SDL_CreateRGBSurfaceFrom(memory.data(), w, h, depth, pitch, rmask, gmask, bmask, amask);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        if (depth == 8) {
            SDL_Color colors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
            SDL_SetColors(surface, colors, 0, 2);
        }
        const int frame = 5;
        if (other_geometry) {
            SCREEN_WIDTH = W + 7;
            SCREEN_HEIGHT = H + 3;
            put_frame(surface, store.data(), W, H, frame);
        } else {
            draw_buf(surface, store.data(), frame);
        }
        SDL_FreeSurface(surface);

        const int bytes = depth / 8;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < pitch; x++) {
                const Uint8 *p = &memory[static_cast<std::size_t>(y) * pitch + x];
                const bool pixel = x < w * bytes && x < W * bytes && y < H;
                if (!pixel) {
                    ASSERT_EQ(*p, UNTOUCHED) << "byte " << x << " of row " << y;
                } else if (x % bytes == 0) {
                    const std::uint32_t word = store[(static_cast<std::size_t>(frame) * H + y) * W + x / bytes];
                    ASSERT_TRUE(expect(p, word)) << "pixel " << x / bytes << ", " << y;
                }
            }
        }
        for (std::size_t i = static_cast<std::size_t>(pitch) * h; i < memory.size(); i++)
            ASSERT_EQ(memory[i], UNTOUCHED) << "guard byte " << i;
    }
};

bool same_word(const Uint8 *p, std::uint32_t word)
{
    std::uint32_t got;
    std::memcpy(&got, p, 4);
    return got == word;
}

// A 16-bit pixel of the surface's own black or white.
bool same_16(const Uint8 *p, std::uint32_t word)
{
    Uint16 got;
    std::memcpy(&got, p, 2);
    return got == (word == WHITE ? 0xFFFF : 0);
}

TEST_F(DrawBuf, Copies32BitSurfacesWithinTheirBounds)
{
    const Uint32 r = 0xFF0000, g = 0xFF00, b = 0xFF;
    check(W, H, 32, W * 4, r, g, b, 0, same_word);               // the exact image: one block copy
    check(W, H, 32, W * 4 + 12, r, g, b, 0, same_word);          // padded rows
    check(W - 3, H - 2, 32, (W - 3) * 4, r, g, b, 0, same_word); // smaller than a frame
    check(W + 5, H + 3, 32, (W + 5) * 4, r, g, b, 0, same_word); // larger than a frame
    check(W, H, 32, W * 4, b, g, r, 0, same_word);               // BGR: black and white are the same words
}

TEST_F(DrawBuf, ConvertsToOtherPixelFormats)
{
    check(W, H, 32, W * 4, 0xFF000000, 0xFF0000, 0xFF00, 0xFF, [](const Uint8 *p, std::uint32_t word) {
        std::uint32_t got;
        std::memcpy(&got, p, 4);
        return got == (word == WHITE ? 0xFFFFFFFFu : 0x000000FFu);
    });
    // 30-bit deep colour (with two bits of alpha, the form SDL 2 knows): white is all ten bits of
    // each channel.
    check(W, H, 32, W * 4, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, [](const Uint8 *p, std::uint32_t word) {
        std::uint32_t got;
        std::memcpy(&got, p, 4);
        return got == (word == WHITE ? 0xFFFFFFFFu : 0xC0000000u);
    });
    check(W, H, 24, W * 3 + 1, 0xFF0000, 0xFF00, 0xFF, 0, [](const Uint8 *p, std::uint32_t word) {
        const Uint8 v = word == WHITE ? 0xFF : 0;
        return p[0] == v && p[1] == v && p[2] == v;
    });
    for (int pitch : {W * 2, W * 2 + 6, (W - 4) * 2}) {
        const int w = pitch < W * 2 ? W - 4 : W;
        check(w, H, 16, pitch, 0xF800, 0x7E0, 0x1F, 0, same_16);
    }
    check(W, H, 8, W + 3, 0, 0, 0, 0, [](const Uint8 *p, std::uint32_t word) { return *p == (word == WHITE ? 1 : 0); });
}

TEST_F(DrawBuf, PutsAFrameOfItsOwnSizeWhateverTheGeometryMadeLast)
{
    // The saver's monitors each have frames of their own size: rows as wide as the frame, cut at
    // a smaller surface's edges, leaving a larger one's rest alone.
    for (int w : {W + 9, W - 5}) {
        const int h = w > W ? H + 5 : H - 2;
        check(w, h, 32, w * 4 + 8, 0xFF0000, 0xFF00, 0xFF, 0, same_word, true);
        check(w, h, 16, w * 2 + 8, 0xF800, 0x7E0, 0x1F, 0, same_16, true);
    }
}

TEST_F(DrawBuf, AMatchedStoreIsCopiedInTheSurfacesOwnColours)
{
    // Opaque pixels, as a browser's canvas takes them: alpha in the top byte, red in the lowest.
    const std::vector<std::uint32_t> original = make_store();
    std::vector<std::uint32_t> store = original;
    std::vector<std::uint32_t> pixels(std::size_t{W} * H, 0x12345678);
    SDL_Surface *surface = SDL_CreateRGBSurfaceFrom(pixels.data(), W, H, 32, W * 4, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    match_store(surface, store.data());
    for (std::size_t i = 0; i < store.size(); i++)
        ASSERT_EQ(store[i], original[i] == WHITE ? 0xFFFFFFFFu : 0xFF000000u) << "word " << i;
    draw_buf(surface, store.data(), FRAMES - 1);
    for (std::size_t i = 0; i < pixels.size(); i++)
        ASSERT_EQ(pixels[i], store[std::size_t{FRAMES - 1} * W * H + i]) << "pixel " << i;
    SDL_FreeSurface(surface);

    // A surface whose words are the generator's own leaves the store as it is.
    std::vector<std::uint32_t> plain = original;
    surface = SDL_CreateRGBSurfaceFrom(pixels.data(), W, H, 32, W * 4, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    match_store(surface, plain.data());
    SDL_FreeSurface(surface);
    EXPECT_EQ(plain, original);
}

} // namespace
