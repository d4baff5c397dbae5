#include "platform/backend/gtk/layered_surface.h"

#include <algorithm>
#include <cstring>

namespace gtkdesk {

KeyPixel KeyPixelOf(bool hasKey, COLORREF key) {
    if (!hasKey) return {};
    return {true, 0xFF000000u | (uint32_t{GetRValue(key)} << 16) | (uint32_t{GetGValue(key)} << 8) |
                      GetBValue(key)};
}

cairo_surface_t* SurfaceFromImage(const gdiplus::PixelImage& image, KeyPixel key) {
    const int w = image.width, h = image.height;
    if (w <= 0 || h <= 0 || image.pixels.size() < static_cast<size_t>(w) * h) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    // ARGB32 is premultiplied native-endian 0xAARRGGBB: the same layout, row by row.
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        std::memcpy(row, image.pixels.data() + static_cast<size_t>(y) * w, sizeof(uint32_t) * w);
        if (key.active)
            for (int x = 0; x < w; ++x)
                if (row[x] == key.value) row[x] = 0;
    }
    cairo_surface_mark_dirty(s);
    return s;
}

void AddOpaqueArea(cairo_region_t* region, cairo_surface_t* surface, int dx, int dy) {
    if (!surface || cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) return;
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<cairo_rectangle_int_t> rects;
    std::vector<std::pair<int, int>> runs, previous;
    size_t previousFirst = 0;  // index in `rects` of the previous row's rectangles
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        runs.clear();
        for (int x = 0; x < w;) {
            while (x < w && (row[x] >> 24) == 0) ++x;
            const int start = x;
            while (x < w && (row[x] >> 24) != 0) ++x;
            if (x > start) runs.emplace_back(start, x);
        }
        if (!runs.empty() && runs == previous) {
            for (size_t i = previousFirst; i < rects.size(); ++i) ++rects[i].height;
            continue;
        }
        previousFirst = rects.size();
        for (auto [a, b] : runs) rects.push_back({a + dx, y + dy, b - a, 1});
        previous = runs;
    }
    if (rects.empty()) return;
    cairo_region_t* part =
        cairo_region_create_rectangles(rects.data(), static_cast<int>(rects.size()));
    cairo_region_union(region, part);
    cairo_region_destroy(part);
}

std::vector<uint32_t> Unpremultiplied(const gdiplus::PixelImage& image) {
    std::vector<uint32_t> out;
    out.reserve(image.pixels.size());
    for (uint32_t p : image.pixels) {
        const uint32_t a = p >> 24;
        if (a == 0 || a == 255) {
            out.push_back(a == 0 ? 0 : p);
            continue;
        }
        auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
        out.push_back((a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) |
                      un(p & 0xFF));
    }
    return out;
}

}  // namespace gtkdesk
