#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdiplus/ico_decoder.h"
#include "platform/gdiplus/png_decoder.h"

namespace {

using gdiplus::DecodeIco;
using gdiplus::DecodePng;
using gdiplus::PixelImage;
using Bytes = std::vector<uint8_t>;

// ---- PNG fixtures, written with libpng itself ----

struct PngFixture {
    PngFixture(int w, int h, int type, int bits, std::vector<uint16_t> s)
        : width(w), height(h), colorType(type), depth(bits), samples(std::move(s)) {}
    int width, height, colorType, depth;
    std::vector<uint16_t> samples;  // row-major, one entry per channel sample
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    bool hasTransColor = false;
    png_color_16 transColor{};
    double gamma = 0;
};

void AppendToBytes(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_RGBA:
            return 4;
        default:
            return 1;
    }
}

void WritePngInto(const PngFixture& fx, Bytes* out, std::vector<Bytes>* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rowPointers;
    for (Bytes& row : *rows) rowPointers.push_back(row.data());
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out->clear();
        return;
    }
    png_set_write_fn(png, out, AppendToBytes, nullptr);
    png_set_IHDR(png, info, fx.width, fx.height, fx.depth, fx.colorType,
                 fx.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!fx.palette.empty()) {
        png_set_PLTE(png, info, fx.palette.data(), static_cast<int>(fx.palette.size()));
    }
    if (!fx.paletteAlpha.empty() || fx.hasTransColor) {
        png_set_tRNS(png, info, fx.paletteAlpha.data(), static_cast<int>(fx.paletteAlpha.size()),
                     fx.hasTransColor ? &fx.transColor : nullptr);
    }
    if (fx.gamma > 0)
        png_set_gAMA(png, info, fx.gamma);
    png_write_info(png, info);
    if (fx.depth < 8)
        png_set_packing(png);
    png_write_image(png, rowPointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
}

Bytes WritePng(const PngFixture& fx) {
    const size_t perRow = static_cast<size_t>(fx.width) * Channels(fx.colorType);
    std::vector<Bytes> rows(fx.height);
    for (int y = 0; y < fx.height; ++y) {
        for (size_t i = 0; i < perRow; ++i) {
            const uint16_t v = fx.samples.at(y * perRow + i);
            if (fx.depth == 16)
                rows[y].push_back(static_cast<uint8_t>(v >> 8));
            rows[y].push_back(static_cast<uint8_t>(v));
        }
    }
    Bytes out;
    WritePngInto(fx, &out, &rows);
    EXPECT_FALSE(out.empty()) << "fixture could not be written";
    return out;
}

// 3x2 straight-alpha pixels and their premultiplied form, including the rounding cases.
const std::vector<uint16_t> kRgba3x2 = {255, 0,   0,   255, 0,  255, 0,  128, 0,   0,   255, 0,
                                        255, 255, 255, 64,  10, 20,  30, 255, 200, 100, 50,  1};
const std::vector<uint32_t> kRgba3x2Premultiplied = {0xFFFF0000, 0x80008000, 0x00000000,
                                                     0x40404040, 0xFF0A141E, 0x01010000};

struct PngCase {
    std::string name;
    PngFixture fixture;
    bool hasAlpha;
    std::vector<uint32_t> expected;
};

TEST(PngDecode, DecodesEveryColourTypeToPremultipliedArgb) {
    PngFixture rgba{3, 2, PNG_COLOR_TYPE_RGBA, 8, kRgba3x2};
    PngFixture rgb{
        3, 2, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9}};
    PngFixture withGamma = rgb;
    withGamma.gamma = 1.0;  // would brighten every value if it were applied
    PngFixture palette{3, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2, 2, 1, 3}};
    palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    palette.paletteAlpha = {255, 128, 0};  // the fourth entry stays opaque
    PngFixture rgba16{2,
                      1,
                      PNG_COLOR_TYPE_RGBA,
                      16,
                      {0xFFFF, 0x1234, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x8080}};
    PngFixture gray1{3, 2, PNG_COLOR_TYPE_GRAY, 1, {1, 0, 1, 0, 1, 0}};
    PngFixture grayAlpha{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {100, 128, 7, 255}};
    PngFixture grayTrns{2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 200}};
    grayTrns.hasTransColor = true;
    grayTrns.transColor.gray = 0;
    PngFixture rgbTrns16{2, 1, PNG_COLOR_TYPE_RGB, 16, {1, 2, 3, 0xFFFF, 0, 0xFFFF}};
    rgbTrns16.hasTransColor = true;
    rgbTrns16.transColor.red = 1;
    rgbTrns16.transColor.green = 2;
    rgbTrns16.transColor.blue = 3;

    const std::vector<PngCase> cases = {
        {"rgba8", rgba, true, kRgba3x2Premultiplied},
        {"rgb8",
         rgb,
         false,
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF010203, 0xFF040506, 0xFF070809}},
        {"gamma ignored",
         withGamma,
         false,
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF010203, 0xFF040506, 0xFF070809}},
        {"palette+tRNS",
         palette,
         true,
         {0xFFFF0000, 0x80008000, 0x00000000, 0x00000000, 0x80008000, 0xFF090909}},
        {"rgba16", rgba16, true, {0xFFFF1200, 0x80808080}},
        {"gray1",
         gray1,
         false,
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
        {"gray+alpha", grayAlpha, true, {0x80323232, 0xFF070707}},
        {"gray+tRNS", grayTrns, true, {0x00000000, 0xFFC8C8C8}},
        {"rgb16+tRNS", rgbTrns16, true, {0x00000000, 0xFFFF00FF}},
    };
    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = WritePng(c.fixture);
        PixelImage img;
        ASSERT_TRUE(DecodePng(file.data(), file.size(), img));
        EXPECT_EQ(img.width, c.fixture.width);
        EXPECT_EQ(img.height, c.fixture.height);
        EXPECT_EQ(img.hasAlpha, c.hasAlpha);
        EXPECT_EQ(img.pixels, c.expected);
    }
}

TEST(PngDecode, InterlacedMatchesProgressive) {
    // 9x9 makes every Adam7 pass non-empty; the alpha ramp checks that premultiplying happens
    // once, after the passes are merged.
    PngFixture fx{9, 9, PNG_COLOR_TYPE_RGBA, 8, {}};
    for (int i = 0; i < 81; ++i) {
        fx.samples.insert(fx.samples.end(), {static_cast<uint16_t>(i * 3), 255, 17,
                                             static_cast<uint16_t>(i * 3 + 10)});
    }
    const Bytes plainFile = WritePng(fx);
    fx.interlaced = true;
    const Bytes interlacedFile = WritePng(fx);
    PixelImage plain, interlaced;
    ASSERT_TRUE(DecodePng(plainFile.data(), plainFile.size(), plain));
    ASSERT_TRUE(DecodePng(interlacedFile.data(), interlacedFile.size(), interlaced));
    EXPECT_EQ(interlaced.pixels, plain.pixels);
    EXPECT_EQ(plain.pixels[0], 0x0A000A01u);   // rgba(0,255,17,10)
    EXPECT_EQ(plain.pixels[80], 0xFAEBFA11u);  // rgba(240,255,17,250)
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBe32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// The given PNG with its IHDR dimensions replaced (CRC kept valid), so only the size is wrong.
Bytes WithDimensions(Bytes file, uint32_t width, uint32_t height) {
    Bytes dims;
    PutBe32(dims, width);
    PutBe32(dims, height);
    std::copy(dims.begin(), dims.end(), file.begin() + 16);
    const uint32_t crc = Crc32(file.data() + 12, 17);
    Bytes crcBytes;
    PutBe32(crcBytes, crc);
    std::copy(crcBytes.begin(), crcBytes.end(), file.begin() + 29);
    return file;
}

TEST(PngDecode, RejectsBrokenInputAndLeavesOutputEmpty) {
    const Bytes good = WritePng({3, 2, PNG_COLOR_TYPE_RGBA, 8, kRgba3x2});
    Bytes badIhdrCrc = good;
    badIhdrCrc[29] ^= 0xFF;
    Bytes badIdat = good;
    badIdat[good.size() - 12 - 6] ^= 0x55;  // inside the last IDAT, before IEND
    const Bytes sigOnly(good.begin(), good.begin() + 8);
    const Bytes garbage = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4, 5, 6, 7, 8};

    struct Case {
        const char* name;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"not a png", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}},
        {"signature only", sigOnly},
        {"garbage chunk", garbage},
        {"ihdr crc", badIhdrCrc},
        {"idat corrupted", badIdat},
        {"zero width", WithDimensions(good, 0, 2)},
        {"over 64 Mpx", WithDimensions(good, 10000, 10000)},
        {"width beyond libpng limit", WithDimensions(good, 0x7FFFFFFF, 1)},
        // Dimensions that no longer match the compressed rows.
        {"more rows than data", WithDimensions(good, 3, 200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PixelImage img{1, 1, true, {42}};
        EXPECT_FALSE(DecodePng(c.data.data(), c.data.size(), img));
        EXPECT_EQ(img.width, 0);
        EXPECT_TRUE(img.pixels.empty());
    }
    PixelImage img;
    EXPECT_FALSE(DecodePng(nullptr, 0, img));
    for (size_t len = 0; len < good.size(); ++len) {
        ASSERT_FALSE(DecodePng(good.data(), len, img)) << "prefix of " << len << " bytes";
        ASSERT_TRUE(img.pixels.empty());
    }
}

// ---- ICO fixtures, assembled byte by byte ----

void PutLe16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(Bytes& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

struct DibFixture {
    DibFixture(int w, int h, int bits, std::vector<uint32_t> pal, std::vector<uint32_t> v,
               std::vector<bool> mask = {})
        : width(w),
          height(h),
          bpp(bits),
          palette(std::move(pal)),
          values(std::move(v)),
          transparent(std::move(mask)) {}
    int width, height, bpp;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> values;   // top-down: palette index, or 0xAARRGGBB for 24/32 bpp
    std::vector<bool> transparent;  // top-down AND mask; empty means all opaque
    bool writeMask = true;
};

Bytes BuildDib(const DibFixture& s) {
    Bytes out;
    PutLe32(out, 40);
    PutLe32(out, s.width);
    PutLe32(out, s.height * 2);
    PutLe16(out, 1);
    PutLe16(out, s.bpp);
    PutLe32(out, 0);  // BI_RGB
    for (int i = 0; i < 3; ++i) PutLe32(out, 0);
    PutLe32(out, static_cast<uint32_t>(s.palette.size()));
    PutLe32(out, 0);
    for (uint32_t c : s.palette) PutLe32(out, c);

    const size_t colorStride = (static_cast<size_t>(s.width) * s.bpp + 31) / 32 * 4;
    const size_t maskStride = (static_cast<size_t>(s.width) + 31) / 32 * 4;
    for (int y = s.height - 1; y >= 0; --y) {
        Bytes row(colorStride, 0);
        for (int x = 0; x < s.width; ++x) {
            const uint32_t v = s.values.at(y * s.width + x);
            switch (s.bpp) {
                case 1:
                    row[x / 8] |= static_cast<uint8_t>(v << (7 - x % 8));
                    break;
                case 4:
                    row[x / 2] |= static_cast<uint8_t>(v << (x % 2 == 0 ? 4 : 0));
                    break;
                case 8:
                    row[x] = static_cast<uint8_t>(v);
                    break;
                default:
                    for (int b = 0; b < s.bpp / 8; ++b) {
                        row[x * (s.bpp / 8) + b] = static_cast<uint8_t>(v >> (8 * b));
                    }
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    if (s.writeMask) {
        for (int y = s.height - 1; y >= 0; --y) {
            Bytes row(maskStride, 0);
            for (int x = 0; x < s.width; ++x) {
                if (!s.transparent.empty() && s.transparent[y * s.width + x]) {
                    row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            }
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    return out;
}

struct IcoEntry {
    int side;  // directory size, 256 written as 0
    int bpp;
    Bytes data;
};

Bytes BuildIco(const std::vector<IcoEntry>& entries) {
    Bytes out;
    PutLe16(out, 0);
    PutLe16(out, 1);
    PutLe16(out, static_cast<uint32_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
    for (const IcoEntry& e : entries) {
        out.push_back(static_cast<uint8_t>(e.side));
        out.push_back(static_cast<uint8_t>(e.side));
        out.push_back(0);
        out.push_back(0);
        PutLe16(out, 1);
        PutLe16(out, e.bpp);
        PutLe32(out, static_cast<uint32_t>(e.data.size()));
        PutLe32(out, offset);
        offset += static_cast<uint32_t>(e.data.size());
    }
    for (const IcoEntry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}

PixelImage MustDecodeIco(const Bytes& file, int wanted) {
    PixelImage img;
    EXPECT_TRUE(DecodeIco(file.data(), file.size(), wanted, img));
    return img;
}

TEST(IcoDecode, Dib32FlipsRowsAndPremultiplies) {
    const Bytes ico = BuildIco(
        {{2, 32, BuildDib({2, 2, 32, {}, {0xFFFF0000, 0x80FFFFFF, 0x00123456, 0x40804020}})}});
    const PixelImage img = MustDecodeIco(ico, 2);
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(img.height, 2);
    EXPECT_TRUE(img.hasAlpha);
    EXPECT_EQ(img.pixels, (std::vector<uint32_t>{0xFFFF0000, 0x80808080, 0x00000000, 0x40201008}));
}

TEST(IcoDecode, PalettedAndRgbEntriesUseTheAndMask) {
    // 3x2 (odd width, so every row is padded); the middle of the top row is masked out.
    const std::vector<uint32_t> kExpected = {0xFFFF0000, 0x00000000, 0xFF0000FF,
                                             0xFF0000FF, 0xFF0000FF, 0xFFFF0000};
    const std::vector<bool> mask = {false, true, false, false, false, false};
    const std::vector<uint32_t> indices = {0, 0, 1, 1, 1, 0};
    const std::vector<uint32_t> palette = {0xFF0000, 0x0000FF};
    for (int bpp : {1, 4, 8}) {
        SCOPED_TRACE(bpp);
        const Bytes ico = BuildIco({{3, bpp, BuildDib({3, 2, bpp, palette, indices, mask})}});
        const PixelImage img = MustDecodeIco(ico, 3);
        EXPECT_TRUE(img.hasAlpha);
        EXPECT_EQ(img.pixels, kExpected);
    }
    const std::vector<uint32_t> rgb = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF, 0x0000FF, 0xFF0000};
    const PixelImage img24 =
        MustDecodeIco(BuildIco({{3, 24, BuildDib({3, 2, 24, {}, rgb, mask})}}), 3);
    EXPECT_EQ(img24.pixels, kExpected);

    // Old 32 bpp icons with alpha left at zero are transparent through the mask only.
    const PixelImage img32 =
        MustDecodeIco(BuildIco({{3, 32, BuildDib({3, 2, 32, {}, rgb, mask})}}), 3);
    EXPECT_EQ(img32.pixels, kExpected);

    // Without any masked pixel a 24 bpp icon is opaque.
    const PixelImage opaque = MustDecodeIco(BuildIco({{3, 24, BuildDib({3, 2, 24, {}, rgb})}}), 3);
    EXPECT_FALSE(opaque.hasAlpha);
}

TEST(IcoDecode, PngEntry) {
    const Bytes png = WritePng({3, 2, PNG_COLOR_TYPE_RGBA, 8, kRgba3x2});
    const PixelImage img = MustDecodeIco(BuildIco({{0, 32, png}}), 48);
    EXPECT_EQ(img.width, 3);
    EXPECT_TRUE(img.hasAlpha);
    EXPECT_EQ(img.pixels, kRgba3x2Premultiplied);
}

// An entry whose single pixel colour tells which one was decoded.
IcoEntry Tagged(int side, int bpp, uint32_t rgb) {
    DibFixture s{side, side, bpp, {}, {}};
    if (bpp <= 8) {
        s.palette = {rgb};
        s.values.assign(side * side, 0);
    } else {
        s.values.assign(side * side, 0xFF000000 | rgb);
    }
    return {side, bpp, BuildDib(s)};
}

TEST(IcoDecode, PicksNearestSizePreferringDeeperColour) {
    const Bytes ico = BuildIco({Tagged(16, 32, 0x000016), Tagged(32, 8, 0x000008),
                                Tagged(32, 32, 0x000032), Tagged(48, 24, 0x000048)});
    struct Case {
        int wanted;
        int side;
        uint32_t tag;
    };
    for (const Case& c : std::vector<Case>{
             {32, 32, 0x32}, {20, 16, 0x16}, {44, 48, 0x48}, {0, 48, 0x48}, {1000, 48, 0x48}}) {
        SCOPED_TRACE(c.wanted);
        const PixelImage img = MustDecodeIco(ico, c.wanted);
        EXPECT_EQ(img.width, c.side);
        ASSERT_FALSE(img.pixels.empty());
        EXPECT_EQ(img.pixels[0] & 0xFFFFFF, c.tag);
    }

    // A damaged best entry falls back to the next best one.
    std::vector<IcoEntry> entries = {Tagged(32, 32, 0x000032), Tagged(16, 32, 0x000016)};
    entries[0].data[14] = 16;  // unsupported bit depth
    const PixelImage img = MustDecodeIco(BuildIco(entries), 32);
    EXPECT_EQ(img.width, 16);
}

TEST(IcoDecode, RejectsBrokenInputAndLeavesOutputEmpty) {
    const Bytes good = BuildIco({Tagged(4, 32, 0x123456)});
    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + at);
        return b;
    };
    const size_t dib = 6 + 16;  // where the only entry's data starts
    DibFixture noMask{3, 2, 24, {}, std::vector<uint32_t>(6, 0)};
    noMask.writeMask = false;
    DibFixture shortPalette{2, 2, 8, std::vector<uint32_t>(300, 0), {0, 0, 0, 0}};
    Bytes badPng = WritePng({3, 2, PNG_COLOR_TYPE_RGBA, 8, kRgba3x2});
    badPng.resize(badPng.size() - 20);

    struct Case {
        const char* name;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"cursor type", patched(2, {2})},
        {"no entries", patched(4, {0})},
        {"directory past end", patched(4, {200})},
        {"offset past end", patched(18, {0xFF, 0xFF, 0, 0})},
        {"offset + size overflow", patched(14, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"header size too big", patched(dib, {0xFF, 0xFF})},
        {"negative height", patched(dib + 8, {0xF8, 0xFF, 0xFF, 0xFF})},
        {"odd height", patched(dib + 8, {7})},
        {"huge width", patched(dib + 4, {0, 0, 0, 0x10})},
        {"compressed", patched(dib + 16, {1})},
        {"16 bpp", patched(dib + 14, {16})},
        {"missing mask", BuildIco({{3, 24, BuildDib(noMask)}})},
        {"palette too long", BuildIco({{2, 8, BuildDib(shortPalette)}})},
        {"truncated png entry", BuildIco({{3, 32, badPng}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PixelImage img{1, 1, true, {42}};
        EXPECT_FALSE(DecodeIco(c.data.data(), c.data.size(), 4, img));
        EXPECT_EQ(img.width, 0);
        EXPECT_TRUE(img.pixels.empty());
    }
    PixelImage img;
    for (size_t len = 0; len < good.size(); ++len) {
        ASSERT_FALSE(DecodeIco(good.data(), len, 4, img)) << "prefix of " << len << " bytes";
    }
}

}  // namespace
