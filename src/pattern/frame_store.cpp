// frame_store.cpp: the geometry the frames are drawn for, the size of the block that holds every
// frame of the animation, and the block.
#include "pattern/pattern.h"
#include "velmorade.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

std::int32_t SCREEN_WIDTH = 0;
std::int32_t SCREEN_HEIGHT = 0;
std::int32_t INNER_CIRCLE = 0;
std::uint32_t *buf = nullptr;

void set_geometry(std::int32_t width, std::int32_t height)
{
    SCREEN_WIDTH = width;
    SCREEN_HEIGHT = height;
    INNER_CIRCLE = SCREEN_HEIGHT / 5;
}

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

#if defined(__linux__) && defined(MADV_HUGEPAGE)
// The store is written once, all of it, before the first frame shows. In 4 KiB pages that first
// write costs a page fault every 4 KiB, which takes longer than the writing itself; in huge pages
// it is one fault every 2 MiB. Huge pages need a block aligned to their size, and the kernel
// hands them to a private block only when asked for them.
constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

static void *map_huge(std::size_t bytes)
{
    if (bytes < HUGE_PAGE || bytes > SIZE_MAX / 2)
        return nullptr;
    const std::size_t size = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
    const std::size_t mapped = size + HUGE_PAGE; // room to slide the block to an aligned start
    void *mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return nullptr;
    char *block = static_cast<char *>(mapping);
    const std::size_t skip = (HUGE_PAGE - reinterpret_cast<std::uintptr_t>(block) % HUGE_PAGE) % HUGE_PAGE;
    char *start = block + skip;
    // Give back what lies before and after the aligned block.
    if (skip > 0)
        munmap(block, skip);
    if (mapped - skip > size)
        munmap(start + size, mapped - skip - size);
    // A kernel without transparent huge pages refuses; the block then works in small pages.
    madvise(start, size, MADV_HUGEPAGE);
    return start;
}
#else
static void *map_huge(std::size_t)
{
    return nullptr;
}
#endif

std::uint32_t *new_store(std::size_t bytes)
{
    void *store = map_huge(bytes);
    if (store == nullptr)
        store = std::malloc(bytes);
    return static_cast<std::uint32_t *>(store);
}
