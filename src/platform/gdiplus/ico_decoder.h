#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdiplus/pixel_image.h"

namespace gdiplus {

// Decodes one image of a Windows .ico file to premultiplied ARGB: the entry whose size is
// closest to wantedSize (the largest one when wantedSize <= 0), preferring deeper colour on a
// tie. Entries may hold a PNG or a classic DIB (1/4/8/24/32 bpp with AND mask). If the chosen
// entry is damaged the next best one is tried. Returns false, leaving `out` empty, when no
// entry can be decoded.
bool DecodeIco(const uint8_t* data, size_t size, int wantedSize, PixelImage& out);

}  // namespace gdiplus
