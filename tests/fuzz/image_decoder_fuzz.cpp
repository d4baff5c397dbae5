// Feeds arbitrary bytes to both image decoders. A successful decode must describe a consistent
// image, so that callers can trust width * height == pixels.size().
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/gdiplus/ico_decoder.h"
#include "platform/gdiplus/png_decoder.h"

namespace {

void CheckImage(bool ok, const gdiplus::PixelImage& image) {
    if (!ok) {
        if (image.width != 0 || image.height != 0 || !image.pixels.empty()) std::abort();
        return;
    }
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
        std::abort();
    }
    // Premultiplied: no channel may exceed alpha.
    for (uint32_t p : image.pixels) {
        const uint32_t a = p >> 24;
        if (((p >> 16) & 0xFF) > a || ((p >> 8) & 0xFF) > a || (p & 0xFF) > a) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gdiplus::PixelImage image;
    CheckImage(gdiplus::DecodePng(data, size, image), image);
    // The last byte picks the wanted icon size so the selection logic is explored too.
    const int wanted = size > 0 ? data[size - 1] : 32;
    CheckImage(gdiplus::DecodeIco(data, size, wanted, image), image);
    return 0;
}
