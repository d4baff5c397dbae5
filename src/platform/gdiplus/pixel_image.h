#pragma once

#include <cstdint>
#include <vector>

namespace gdiplus {

// A decoded image in the one layout the drawing code works with.
struct PixelImage {
    int width = 0, height = 0;
    bool hasAlpha = false;
    // Top-down rows, each pixel 0xAARRGGBB with premultiplied alpha.
    std::vector<uint32_t> pixels;
};

// Scales the colour channels of a straight-alpha 0xAARRGGBB pixel by its alpha, rounding to
// nearest so that a premultiply/unpremultiply round trip stays stable.
inline uint32_t PremultiplyArgb(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 255) return argb;
    if (a == 0) return 0;
    auto scale = [a](uint32_t c) {
        const uint32_t t = c * a + 128;
        return (t + (t >> 8)) >> 8;
    };
    return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) |
           scale(argb & 0xFF);
}

}  // namespace gdiplus
