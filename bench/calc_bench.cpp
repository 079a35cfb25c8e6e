// calc_bench.cpp: times calc against the plain per-pixel loop and against merely writing the
// store once (malloc plus memset of a fresh block, first touch included), at two desktop sizes.
// `calc_bench writes W H` instead times one fresh write of a W x H store and then a second write
// into the same, now mapped, memory, and prints both in milliseconds (for startup_bench.sh).
#include "pattern/pattern.h"
#include "reference.h"
#include "velmorade.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

constexpr int RUNS = 9;

// The arithmetic pixel by pixel, with a square root each: how calc was first written.
void plain_loop(std::uint32_t *store)
{
    const std::int32_t w = SCREEN_WIDTH, h = SCREEN_HEIGHT;
    for (std::int32_t f = 0; f < FRAMES; f++)
        for (std::int32_t y = 0; y < h; y++)
            for (std::int32_t x = 0; x < w; x++)
                *store++ = reference_pixel(w, h, INNER_CIRCLE, f, x, y);
}

void fresh_write(std::uint32_t *store, std::size_t bytes)
{
    std::memset(store, 0xFF, bytes); // not 0: malloc and memset 0 would be turned into calloc
}

// Median milliseconds of RUNS rounds of allocating a fresh store and filling it with `fill`.
template <typename Fill> double median_ms(std::size_t bytes, Fill fill)
{
    std::vector<double> ms;
    for (int i = 0; i < RUNS; i++) {
        const auto start = std::chrono::steady_clock::now();
        auto *store = static_cast<std::uint32_t *>(std::malloc(bytes));
        if (store == nullptr) {
            std::fprintf(stderr, "cannot allocate %zu bytes\n", bytes);
            std::exit(1);
        }
        fill(store);
        // The compiler must assume the store is read here, so no fill can be optimised away.
        asm volatile("" : : "r"(store) : "memory");
        const auto end = std::chrono::steady_clock::now();
        std::free(store);
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// One fresh write of the store's size, then one into the memory it left mapped.
int writes(int width, int height)
{
    std::size_t bytes = 0;
    store_bytes(width, height, bytes);
    const auto start = std::chrono::steady_clock::now();
    auto *store = static_cast<std::uint32_t *>(std::malloc(bytes));
    if (store == nullptr)
        return 1;
    fresh_write(store, bytes);
    asm volatile("" : : "r"(store) : "memory");
    const auto mapped = std::chrono::steady_clock::now();
    fresh_write(store, bytes);
    asm volatile("" : : "r"(store) : "memory");
    const auto end = std::chrono::steady_clock::now();
    std::free(store);
    std::printf("%.2f %.2f\n", std::chrono::duration<double, std::milli>(mapped - start).count(),
                std::chrono::duration<double, std::milli>(end - mapped).count());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "writes") == 0)
        return writes(std::atoi(argv[2]), std::atoi(argv[3]));
    std::printf("| size | fresh write (ms) | calc (ms) | plain loop (ms) | calc / write | plain / write |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (const auto &size : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        SCREEN_WIDTH = size.first;
        SCREEN_HEIGHT = size.second;
        INNER_CIRCLE = SCREEN_HEIGHT / 5;
        std::size_t bytes = 0;
        store_bytes(SCREEN_WIDTH, SCREEN_HEIGHT, bytes);
        const double write = median_ms(bytes, [bytes](std::uint32_t *s) { fresh_write(s, bytes); });
        const double fast = median_ms(bytes, calc);
        const double plain = median_ms(bytes, plain_loop);
        std::printf("| %d x %d | %.1f | %.1f | %.1f | %.2f | %.2f |\n", size.first, size.second, write, fast, plain,
                    fast / write, plain / write);
    }
}
