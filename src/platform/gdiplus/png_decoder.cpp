#include "platform/gdiplus/png_decoder.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <new>

namespace gdiplus {
namespace {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

constexpr uint64_t kMaxDeflateRatio = 1032;

// Everything the libpng callbacks fill in. It lives in DecodePng's frame, not in the frame that
// calls setjmp, so its contents stay well-defined after a longjmp.
struct DecodeState {
    size_t inputSize = 0;
    PixelImage image;
    bool interlaced = false;
    bool finished = false;
    uint32_t lastPass = 0;
    uint32_t rowsInLastPass = 0;
};

void PremultiplyRow(uint32_t* row, size_t count) {
    for (size_t i = 0; i < count; ++i) row[i] = PremultiplyArgb(row[i]);
}

// libpng reports through stderr by default; a decoder for embedded images must stay quiet.
void OnWarning(png_structp, png_const_charp) {}
[[noreturn]] void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// The callbacks below run inside libpng and may leave through png_error's longjmp, so they
// hold no objects with destructors at the points where that can happen.
void OnInfo(png_structp png, png_infop info) {
    auto* st = static_cast<DecodeState*>(png_get_progressive_ptr(png));
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || uint64_t{width} * height > kMaxDecodedPixels) {
        png_error(png, "image too large");
    }
    // Deflate cannot expand data more than ~1032:1, so a small file claiming a big image is
    // refused before its buffer is allocated.
    const uint64_t filteredBytes = uint64_t{height} * (png_get_rowbytes(png, info) + 1);
    if (filteredBytes / kMaxDeflateRatio > st->inputSize) png_error(png, "image data too short");

    // Normalise every colour type and depth to 8-bit RGBA laid out so that a row is an array of
    // native 0xAARRGGBB words.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_swap_alpha(png);
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{width} * 4) png_error(png, "unexpected row layout");

    bool allocated = true;
    try {
        st->image.pixels.assign(size_t{width} * height, 0);
    } catch (const std::bad_alloc&) {
        allocated = false;
    }
    if (!allocated) png_error(png, "out of memory");
    st->image.width = static_cast<int>(width);
    st->image.height = static_cast<int>(height);
    st->image.hasAlpha =
        (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    st->interlaced = passes > 1;
    st->lastPass = static_cast<uint32_t>(passes - 1);
}

void OnRow(png_structp png, png_bytep row, png_uint_32 y, int pass) {
    auto* st = static_cast<DecodeState*>(png_get_progressive_ptr(png));
    if (y >= static_cast<png_uint_32>(st->image.height)) png_error(png, "row out of range");
    uint32_t* dst = st->image.pixels.data() + size_t{y} * static_cast<size_t>(st->image.width);
    png_progressive_combine_row(png, reinterpret_cast<png_bytep>(dst), row);
    if (static_cast<uint32_t>(pass) == st->lastPass) ++st->rowsInLastPass;
    // Premultiply while the row is still in cache; interlaced rows are only final at the end.
    if (!st->interlaced && st->image.hasAlpha) {
        PremultiplyRow(dst, static_cast<size_t>(st->image.width));
    }
}

void OnEnd(png_structp png, png_infop) {
    auto* st = static_cast<DecodeState*>(png_get_progressive_ptr(png));
    st->finished = true;
    if (st->interlaced && st->image.hasAlpha) {
        PremultiplyRow(st->image.pixels.data(), st->image.pixels.size());
    }
}

// Kept apart from DecodePng so that no local of the frame holding the jmp_buf is modified after
// setjmp.
bool RunDecoder(png_structp png, png_infop info, const uint8_t* data, size_t size) {
    if (setjmp(png_jmpbuf(png))) return false;
    // Colour management is not wanted (the artwork is sRGB), and skipping these chunks also
    // spares inflating embedded profiles and text.
    static const png_byte kIgnored[] = "iCCP\0gAMA\0cHRM\0sRGB\0iTXt\0zTXt\0tEXt\0eXIf\0sPLT\0";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored,
                                static_cast<int>((sizeof kIgnored - 1) / 5));
    png_process_data(png, info, const_cast<png_bytep>(data), size);
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, PixelImage& out) {
    out = PixelImage{};
    if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }

    DecodeState state;
    state.inputSize = size;
    png_set_progressive_read_fn(png, &state, OnInfo, OnRow, OnEnd);
    const bool ran = RunDecoder(png, info, data, size);
    png_destroy_read_struct(&png, &info, nullptr);

    // A stream that stops early never reaches IEND; the row count guards against a zlib stream
    // that ends cleanly before the last row.
    if (!ran || !state.finished ||
        state.rowsInLastPass != static_cast<uint32_t>(state.image.height)) {
        return false;
    }
    out = std::move(state.image);
    return true;
}

}  // namespace gdiplus
