// pixels.cpp: the stored frames as a display's own pixels: the store rewritten into a 32-bit
// display's black and white once, or each frame written out in another format.
#include "pattern/pixels.h"
#include "pattern/pattern.h"

#include <cstring>

// The two words the store holds: the generator's, until recolour_store gives it a display's own.
static std::uint32_t STORE_BLACK = BLACK;
static std::uint32_t STORE_WHITE = WHITE;

void recolour_store(std::uint32_t *store, std::size_t words, std::uint32_t black, std::uint32_t white)
{
    STORE_BLACK = black;
    STORE_WHITE = white;
    if (black == BLACK && white == WHITE)
        return;
    for (std::size_t i = 0; i < words; i++)
        store[i] = store[i] == WHITE ? white : black;
}

bool store_holds(std::uint32_t black, std::uint32_t white)
{
    return black == STORE_BLACK && white == STORE_WHITE;
}

bool lsb_first()
{
    const std::uint32_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// convert_frame for pixels of N bytes: a copy of constant size, which the compiler inlines.
template <std::size_t N>
static void convert_rows(const std::uint32_t *frame, int width, int cols, int rows, std::uint8_t *out,
                         std::size_t pitch, const unsigned char *black, const unsigned char *white)
{
    for (int y = 0; y < rows; y++) {
        const std::uint32_t *in = frame + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        std::uint8_t *pixel = out + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < cols; x++, pixel += N)
            std::memcpy(pixel, in[x] == WHITE ? white : black, N);
    }
}

void convert_frame(const std::uint32_t *frame, int width, int cols, int rows, std::uint8_t *out, std::size_t pitch,
                   int bytes, std::uint32_t black, std::uint32_t white)
{
    // A pixel is the low `bytes` bytes of its value as this machine stores a 32-bit word.
    const std::size_t low = lsb_first() ? 0 : 4 - static_cast<std::size_t>(bytes);
    unsigned char b[4], w[4];
    std::memcpy(b, &black, 4);
    std::memcpy(w, &white, 4);
    switch (bytes) {
    case 1:
        convert_rows<1>(frame, width, cols, rows, out, pitch, b + low, w + low);
        break;
    case 2:
        convert_rows<2>(frame, width, cols, rows, out, pitch, b + low, w + low);
        break;
    case 3:
        convert_rows<3>(frame, width, cols, rows, out, pitch, b + low, w + low);
        break;
    default:
        convert_rows<4>(frame, width, cols, rows, out, pitch, b, w);
        break;
    }
}
