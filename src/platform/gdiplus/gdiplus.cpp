#include "platform/gdiplus/gdiplus.h"

#include <algorithm>
#include <vector>

#include "platform/gdiplus/png_decoder.h"

namespace Gdiplus {
namespace {
int g_running = 0;

// Premultiplied source-over of one pixel.
std::uint32_t BlendOver(std::uint32_t s, std::uint32_t d) {
    std::uint32_t inv = 255 - (s >> 24), out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        std::uint32_t c = ((s >> shift) & 255) + (((d >> shift) & 255) * inv + 127) / 255;
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

// The 1:1 case (every frame's background): the same result as the sampling loop in
// DrawImage, without its per-pixel divisions, clipped once per row instead of per pixel.
void DrawUnscaled(const gdiplus::PixelImage& src, win::DibSection& target, int dx, int dy) {
    const int x0 = std::max(0, -dx), x1 = std::min(src.width, target.width - dx);
    if (x0 >= x1) return;
    for (int y = std::max(0, -dy); y < src.height && y + dy < target.height; ++y) {
        const std::uint32_t* s = &src.pixels[static_cast<std::size_t>(y) * src.width];
        std::uint32_t* d = target.At(0, y + dy);
        for (int x = x0; x < x1; ++x) {
            const std::uint32_t sa = s[x] >> 24;
            std::uint32_t& out = d[x + dx];
            // Over a transparent pixel the blend gives the source itself.
            if (sa == 255 || (sa != 0 && out == 0))
                out = s[x];
            else if (sa != 0)
                out = BlendOver(s[x], out);
        }
    }
}
}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*) {
    if (!token || !input || input->GdiplusVersion != 1) return InvalidParameter;
    *token = static_cast<ULONG_PTR>(++g_running);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    if (token && g_running > 0) --g_running;
}

bool GdiplusRunning() {
    return g_running > 0;
}

Image::Image(IStream* stream, BOOL) {
    if (!stream) {
        status_ = InvalidParameter;
        return;
    }
    stream_ = stream;
    stream_->AddRef();
    std::vector<std::uint8_t> bytes(stream->Size());
    ULONG read = 0;
    if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    if (read > 0 && gdiplus::DecodePng(bytes.data(), read, pixels_)) {
        native_ = true;
        status_ = Ok;
    } else {
        pixels_ = PixelImage{};
        status_ = read == 0 ? InvalidParameter : UnknownImageFormat;
    }
}

Image::~Image() {
    if (stream_) stream_->Release();
}

Bitmap::Bitmap(HBITMAP bitmap, void*) {
    win::DibSection* dib = win::FindBitmap(bitmap);
    if (!dib) {
        status_ = InvalidParameter;
        return;
    }
    pixels_ = dib->ToPixelImage(0, 0, dib->width, dib->height);
    // GDI bitmaps carry no meaningful alpha; GDI+ takes them as opaque.
    for (auto& p : pixels_.pixels) p |= 0xFF000000u;
    pixels_.hasAlpha = false;
    native_ = true;
    status_ = Ok;
}

Graphics::Graphics(HDC dc) : dc_(dc) {
    if (!win::FindBitmap(win::SelectedBitmap(dc))) status_ = InvalidParameter;
}

Status Graphics::SetSmoothingMode(SmoothingMode mode) {
    smoothing_ = mode;
    return Ok;
}

Status Graphics::DrawImage(Image* image, const Rect& dest) {
    win::DibSection* target = win::FindBitmap(win::SelectedBitmap(dc_));
    if (!target) return status_ = InvalidParameter;
    const PixelImage* src = image ? image->Pixels() : nullptr;
    if (!src || src->width <= 0 || src->height <= 0) return status_ = InvalidParameter;
    if (dest.Width <= 0 || dest.Height <= 0) return status_ = Ok;
    if (dest.Width == src->width && dest.Height == src->height) {
        DrawUnscaled(*src, *target, dest.X, dest.Y);
        return status_ = Ok;
    }
    // Nearest-neighbour sampling at pixel centres; premultiplied source-over blending.
    for (int y = 0; y < dest.Height; ++y) {
        int ty = dest.Y + y;
        if (ty < 0 || ty >= target->height) continue;
        int sy = static_cast<int>((static_cast<long long>(y) * 2 + 1) * src->height /
                                  (2LL * dest.Height));
        for (int x = 0; x < dest.Width; ++x) {
            int tx = dest.X + x;
            if (tx < 0 || tx >= target->width) continue;
            int sx = static_cast<int>((static_cast<long long>(x) * 2 + 1) * src->width /
                                      (2LL * dest.Width));
            std::uint32_t s = src->pixels[static_cast<std::size_t>(sy) * src->width + sx];
            std::uint32_t sa = s >> 24;
            std::uint32_t* d = target->At(tx, ty);
            if (sa == 255)
                *d = s;
            else if (sa != 0)
                *d = BlendOver(s, *d);
        }
    }
    return status_ = Ok;
}

}  // namespace Gdiplus
