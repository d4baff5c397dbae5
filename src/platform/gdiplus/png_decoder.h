#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdiplus/pixel_image.h"

namespace gdiplus {

// Images above this many pixels are refused rather than allocated.
constexpr uint64_t kMaxDecodedPixels = 64ull * 1024 * 1024;

// Decodes a PNG held in memory (any colour type, bit depth or interlacing) to premultiplied
// ARGB. hasAlpha is set when the file has an alpha channel or a tRNS chunk. Gamma and colour
// profiles are ignored: the images are sRGB already. On any error (corrupt or truncated data,
// oversized image) returns false and leaves `out` empty.
bool DecodePng(const uint8_t* data, size_t size, PixelImage& out);

}  // namespace gdiplus
