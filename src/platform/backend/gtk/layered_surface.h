#pragma once
// Pictures of the core (premultiplied 0xAARRGGBB rows) as cairo surfaces, and the input shapes
// that follow their alpha, so that see-through pixels also let clicks through.

#include <cstdint>
#include <vector>

#include "platform/gdiplus/pixel_image.h"
#include "platform/win/types.h"

#include <cairo.h>

namespace gtkdesk {

// A colour key as the pixel value it matches exactly: opaque, in 0xAARRGGBB.
struct KeyPixel {
    bool active = false;
    uint32_t value = 0;
};
KeyPixel KeyPixelOf(bool hasKey, COLORREF key);

// A new ARGB32 image surface holding `image`; pixels equal to `key` become fully transparent.
// Null for an empty image. The caller owns the surface.
cairo_surface_t* SurfaceFromImage(const gdiplus::PixelImage& image, KeyPixel key = {});

// The pixels of an ARGB32 surface that are not see-through (alpha > 0), offset by (dx, dy), added
// to `region`. Rows with the same runs are merged, so a large picture gives few rectangles.
void AddOpaqueArea(cairo_region_t* region, cairo_surface_t* surface, int dx, int dy);

// Straight (not premultiplied) 0xAARRGGBB pixels, as icon consumers want them.
std::vector<uint32_t> Unpremultiplied(const gdiplus::PixelImage& image);

}  // namespace gtkdesk
