// pattern_test.cpp: the generated frames against the plain per-pixel arithmetic.
#include "pattern/pattern.h"
#include "reference.h"
#include "velmorade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{

struct Store {
    std::vector<std::uint32_t> words;
    std::int32_t width, height;

    Store(std::int32_t w, std::int32_t h)
        : words(static_cast<std::size_t>(w) * h * FRAMES, 0xDEADBEEF), width(w), height(h)
    {
        SCREEN_WIDTH = w;
        SCREEN_HEIGHT = h;
        INNER_CIRCLE = h / 5;
        calc(words.data());
    }
    std::uint32_t at(std::int32_t f, std::int32_t x, std::int32_t y) const
    {
        return words[(static_cast<std::size_t>(f) * height + y) * width + x];
    }
};

// Returns the first pixel of a width x height store that differs from the reference, as
// "WxH frame f (x, y)", or "".
std::string first_mismatch(const std::uint32_t *words, std::int32_t width, std::int32_t height)
{
    for (std::int32_t f = 0; f < FRAMES; f++)
        for (std::int32_t y = 0; y < height; y++)
            for (std::int32_t x = 0; x < width; x++, words++)
                if (*words != reference_pixel(width, height, height / 5, f, x, y))
                    return std::to_string(width) + "x" + std::to_string(height) + " frame " + std::to_string(f) + " (" +
                           std::to_string(x) + ", " + std::to_string(y) + ")";
    return "";
}

std::string first_mismatch(const Store &s)
{
    return first_mismatch(s.words.data(), s.width, s.height);
}

TEST(Calc, MatchesReferenceAtEverySmallSize)
{
    // Covers odd sizes, and heights under 85 where the stripe coordinate goes below -4.
    for (std::int32_t h = 0; h <= 40; h++)
        for (std::int32_t w = 0; w <= 40; w++)
            ASSERT_EQ(first_mismatch(Store(w, h)), "");
}

TEST(Calc, MatchesReferenceAcrossAWideSweep)
{
    // Every height and every width up to 300 once, each paired with a spread of the other
    // dimension, odd and even: disc rims, band edges and strip starts all land differently.
    for (std::int32_t n = 41; n <= 300; n++) {
        ASSERT_EQ(first_mismatch(Store(n * 37 % 311 + 1, n)), "");
        ASSERT_EQ(first_mismatch(Store(n, n * 13 % 157 + 1)), "");
    }
}

TEST(Calc, MatchesReferenceAtLowAndDesktopSizes)
{
    // 4099 wide: a stretch of one row side longer than calc copies from its strip at once.
    const std::int32_t sizes[][2] = {{200, 124},  {161, 84},   {97, 125},   {333, 77},    {640, 480},
                                     {1024, 768}, {1025, 769}, {1366, 768}, {1920, 1080}, {4099, 90}};
    for (const auto &size : sizes)
        ASSERT_EQ(first_mismatch(Store(size[0], size[1])), "");
}

TEST(Calc, DrawsTheWorkedExamples)
{
    const Store s(1024, 768);
    const std::int32_t cx = 512, cy = 384;
    ASSERT_EQ(INNER_CIRCLE, 153);
    for (std::int32_t f = 0; f < FRAMES; f++) {
        EXPECT_EQ(s.at(f, cx, cy), f <= 4 ? BLACK : WHITE) << "centre, frame " << f;
        EXPECT_EQ(s.at(f, cx + 10, cy), f <= 9 ? WHITE : BLACK) << "10 right of centre, frame " << f;
    }
    EXPECT_EQ(s.at(0, cx + 300, cy), BLACK);
    EXPECT_EQ(s.at(1, cx + 300, cy), WHITE);
    EXPECT_EQ(s.at(2, cx + 300, cy), WHITE);
    // On the rim counts as inside (d = 76 + 2); outside it would be 76 - 2, white.
    EXPECT_EQ(s.at(2, cx + INNER_CIRCLE, cy), BLACK);
    // Frame 0 along the centre row and column: 10 pixels black, 20 white, every 30 pixels.
    for (std::int32_t k = 0; k < 360; k++) {
        const std::uint32_t expected = k % 30 < 10 ? BLACK : WHITE;
        ASSERT_EQ(s.at(0, cx + k, cy), expected) << k;
        ASSERT_EQ(s.at(0, cx - k, cy), expected) << k;
        ASSERT_EQ(s.at(0, cx, cy + k), expected) << k;
        ASSERT_EQ(s.at(0, cx, cy - k), expected) << k;
    }
}

TEST(Calc, OddWidthCentresOnTheTruncatedHalf)
{
    const Store s(1025, 9);
    for (std::int32_t k = 0; k <= 512; k++)
        ASSERT_EQ(s.at(0, 512 - k, 4), s.at(0, 512 + k, 4)) << k;
    EXPECT_EQ(s.at(0, 1024, 4), s.at(0, 0, 4));
    EXPECT_NE(s.at(0, 512 + 10, 4), s.at(0, 512 + 9, 4)); // a band edge 10 columns from the centre
}

TEST(Calc, ZeroSizeLeavesTheStoreUntouched)
{
    std::vector<std::uint32_t> words(64, 0xDEADBEEF);
    for (const auto &size : {std::pair{0, 40}, std::pair{40, 0}, std::pair{0, 0}}) {
        SCREEN_WIDTH = size.first;
        SCREEN_HEIGHT = size.second;
        INNER_CIRCLE = size.second / 5;
        calc(words.data());
        for (std::uint32_t word : words)
            ASSERT_EQ(word, 0xDEADBEEFu);
    }
}

// The most times any one point of the screen turns from black to white and back again in one
// cycle, the cycle taken as it plays: frame 13 is followed by frame 0.
int most_flashes_a_cycle(const Store &s)
{
    int most = 0;
    for (std::int32_t y = 0; y < s.height; y++)
        for (std::int32_t x = 0; x < s.width; x++) {
            int turns = 0;
            for (std::int32_t f = 0; f < FRAMES; f++)
                turns += s.at(f, x, y) != s.at((f + 1) % FRAMES, x, y);
            most = std::max(most, turns / 2); // a flash is a turn each way
        }
    return most;
}

TEST(Calc, NoPointFlashesMoreThanOnceACycle)
{
    // Photosensitivity guidelines (WCAG 2.3.1) allow no more than three flashes a second. At the
    // loop's fastest, one frame every fps milliseconds, one flash a cycle is 40 / 14, under 2.9.
    // The sizes cover the stripe coordinate going negative, below a height of 125.
    for (const auto &size : {std::pair{64, 48}, std::pair{160, 100}, std::pair{640, 480}, std::pair{1024, 768}}) {
        const Store s(size.first, size.second);
        const int flashes = most_flashes_a_cycle(s);
        EXPECT_EQ(flashes, 1) << size.first << "x" << size.second;
        EXPECT_LT(flashes * (1000.0 / fps) / FRAMES, 3.0) << size.first << "x" << size.second;
    }
}

TEST(NewStore, HoldsTheExactFramesAtADesktopSize)
{
    // The program's own block, large enough to come in huge pages where the system has them.
    std::size_t bytes = 0;
    ASSERT_TRUE(store_bytes(1920, 1080, bytes));
    std::uint32_t *store = new_store(bytes);
    ASSERT_NE(store, nullptr);
    std::fill(store, store + bytes / sizeof *store, 0xDEADBEEF);
    SCREEN_WIDTH = 1920;
    SCREEN_HEIGHT = 1080;
    INNER_CIRCLE = 216;
    calc(store);
    EXPECT_EQ(first_mismatch(store, 1920, 1080), "");
    // Like the program's, the block is never given back.
}

TEST(StoreBytes, IsComputedWithoutOverflow)
{
    std::size_t bytes = 1;
    EXPECT_TRUE(store_bytes(1024, 768, bytes));
    EXPECT_EQ(bytes, 44040192u);
    EXPECT_TRUE(store_bytes(1920, 1080, bytes));
    EXPECT_EQ(bytes, 116121600u);
    EXPECT_TRUE(store_bytes(7680, 4320, bytes)); // past 2^31 bytes
    EXPECT_EQ(bytes, std::size_t{7680} * 4320 * 56);
    EXPECT_TRUE(store_bytes(0, 768, bytes));
    EXPECT_EQ(bytes, 0u);
    EXPECT_FALSE(store_bytes(INT32_MAX, INT32_MAX, bytes));
    EXPECT_FALSE(store_bytes(-1, 768, bytes));
}

} // namespace
