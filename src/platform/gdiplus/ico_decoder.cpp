#include "platform/gdiplus/ico_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "platform/gdiplus/png_decoder.h"

namespace gdiplus {
namespace {

constexpr size_t kDirHeaderSize = 6;
constexpr size_t kDirEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kBiRgb = 0;
// Icons are at most 256 px by definition; the extra room only admits odd but harmless files.
constexpr int32_t kMaxDibSide = 1024;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t ReadU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
int32_t ReadS32(const uint8_t* p) {
    return static_cast<int32_t>(ReadU32(p));
}

struct Candidate {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int side = 0;  // as the directory states it, 0 meaning 256
    int bpp = 0;
};

bool IsPng(const uint8_t* data, size_t size) {
    return size >= sizeof kPngSignature &&
           std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
}

// Colour depth used only to rank entries. The directory's own field is often 0 or wrong, so the
// image header is asked first.
int EntryBpp(const uint8_t* data, size_t size, uint16_t dirBpp) {
    if (IsPng(data, size)) return 32;
    if (size >= kInfoHeaderSize) return ReadU16(data + 14);
    return dirBpp;
}

bool DecodeDib(const uint8_t* data, size_t size, PixelImage& out) {
    if (size < kInfoHeaderSize) return false;
    const uint32_t headerSize = ReadU32(data);
    const int32_t width = ReadS32(data + 4);
    const int32_t doubledHeight = ReadS32(data + 8);
    const uint16_t bpp = ReadU16(data + 14);
    const uint32_t compression = ReadU32(data + 16);
    const uint32_t colorsUsed = ReadU32(data + 32);

    // The stored height covers the colour bitmap and the AND mask stacked on top of each other;
    // top-down (negative) bitmaps do not occur in icons.
    if (headerSize < kInfoHeaderSize || headerSize > size) return false;
    if (width <= 0 || width > kMaxDibSide) return false;
    if (doubledHeight <= 0 || doubledHeight % 2 != 0 || doubledHeight / 2 > kMaxDibSide) {
        return false;
    }
    if (compression != kBiRgb) return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
    const int height = doubledHeight / 2;

    size_t pos = headerSize;
    // Indices past a short palette read as opaque black rather than as garbage.
    uint32_t palette[256];
    std::fill(std::begin(palette), std::end(palette), 0xFF000000u);
    if (bpp <= 8) {
        const uint32_t maxColors = 1u << bpp;
        const uint32_t colors = colorsUsed == 0 ? maxColors : colorsUsed;
        if (colors > maxColors || colors * 4 > size - pos) return false;
        for (uint32_t i = 0; i < colors; ++i) {
            palette[i] = 0xFF000000u | (ReadU32(data + pos + i * 4) & 0x00FFFFFFu);
        }
        pos += colors * 4;
    }

    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    const size_t colorStride = (w * bpp + 31) / 32 * 4;
    const size_t maskStride = (w + 31) / 32 * 4;
    if (colorStride * h > size - pos) return false;
    const uint8_t* colorBits = data + pos;
    pos += colorStride * h;
    // A 32 bpp entry carries its own alpha, and some writers drop the then redundant mask.
    const bool hasMask = maskStride * h <= size - pos;
    if (!hasMask && bpp != 32) return false;
    const uint8_t* maskBits = hasMask ? data + pos : nullptr;

    PixelImage image;
    try {
        image.pixels.resize(w * h);
    } catch (const std::bad_alloc&) {
        return false;
    }
    image.width = width;
    image.height = height;

    // Old 32 bpp icons leave alpha at zero everywhere and rely on the mask alone.
    bool useAlpha = bpp == 32;
    if (useAlpha && hasMask) {
        useAlpha = false;
        for (size_t y = 0; y < h && !useAlpha; ++y) {
            const uint8_t* row = colorBits + y * colorStride;
            for (size_t x = 0; x < w; ++x) {
                if (row[x * 4 + 3] != 0) {
                    useAlpha = true;
                    break;
                }
            }
        }
    }

    bool anyTransparent = false;
    for (size_t y = 0; y < h; ++y) {
        // Rows are stored bottom-up.
        const uint8_t* src = colorBits + (h - 1 - y) * colorStride;
        const uint8_t* mask = hasMask ? maskBits + (h - 1 - y) * maskStride : nullptr;
        uint32_t* dst = image.pixels.data() + y * w;
        for (size_t x = 0; x < w; ++x) {
            uint32_t argb = 0;
            switch (bpp) {
                case 1:
                    argb = palette[(src[x / 8] >> (7 - x % 8)) & 1];
                    break;
                case 4:
                    argb = palette[(src[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xF];
                    break;
                case 8:
                    argb = palette[src[x]];
                    break;
                case 24:
                    argb = 0xFF000000u | uint32_t{src[x * 3 + 2]} << 16 |
                           uint32_t{src[x * 3 + 1]} << 8 | src[x * 3];
                    break;
                case 32:
                    argb = ReadU32(src + x * 4);
                    if (!useAlpha) argb |= 0xFF000000u;
                    break;
            }
            if (!useAlpha && mask != nullptr && ((mask[x / 8] >> (7 - x % 8)) & 1) != 0) {
                argb = 0;
            }
            argb = PremultiplyArgb(argb);
            anyTransparent |= (argb >> 24) != 0xFF;
            dst[x] = argb;
        }
    }
    image.hasAlpha = bpp == 32 || anyTransparent;
    out = std::move(image);
    return true;
}

}  // namespace

bool DecodeIco(const uint8_t* data, size_t size, int wantedSize, PixelImage& out) {
    out = PixelImage{};
    if (data == nullptr || size < kDirHeaderSize) return false;
    const uint16_t reserved = ReadU16(data);
    const uint16_t type = ReadU16(data + 2);
    const size_t count = ReadU16(data + 4);
    if (reserved != 0 || type != 1 || count == 0) return false;
    if (count * kDirEntrySize > size - kDirHeaderSize) return false;

    std::vector<Candidate> candidates;
    candidates.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = data + kDirHeaderSize + i * kDirEntrySize;
        const uint64_t bytes = ReadU32(e + 8);
        const uint64_t offset = ReadU32(e + 12);
        if (bytes == 0 || offset > size || bytes > size - offset) continue;
        Candidate c;
        c.data = data + offset;
        c.size = static_cast<size_t>(bytes);
        c.side = std::max(e[0] == 0 ? 256 : e[0], e[1] == 0 ? 256 : e[1]);
        c.bpp = EntryBpp(c.data, c.size, ReadU16(e + 6));
        candidates.push_back(c);
    }

    // Best first: nearest size, then deeper colour, then the larger one (scaling down looks
    // better than scaling up).
    std::stable_sort(candidates.begin(), candidates.end(),
                     [wantedSize](const Candidate& a, const Candidate& b) {
                         const int da = wantedSize > 0 ? std::abs(a.side - wantedSize) : -a.side;
                         const int db = wantedSize > 0 ? std::abs(b.side - wantedSize) : -b.side;
                         if (da != db) return da < db;
                         if (a.bpp != b.bpp) return a.bpp > b.bpp;
                         return a.side > b.side;
                     });

    for (const Candidate& c : candidates) {
        const bool ok =
            IsPng(c.data, c.size) ? DecodePng(c.data, c.size, out) : DecodeDib(c.data, c.size, out);
        if (ok) return true;
    }
    out = PixelImage{};
    return false;
}

}  // namespace gdiplus
