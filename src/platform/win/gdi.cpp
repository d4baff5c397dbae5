#include "platform/win/gdi.h"

#include <limits>
#include <map>
#include <variant>

#include "platform/win/api.h"
#include "platform/win/resources.h"

namespace win {
namespace {

struct Brush {
    COLORREF color;
};
using GdiObject = std::variant<DibSection, Brush>;

struct DeviceContext {
    HWND window = nullptr;
    bool memory = false;
    HGDIOBJ selected = nullptr;
};

struct GdiTables {
    std::map<std::uintptr_t, GdiObject> objects;
    std::map<std::uintptr_t, DeviceContext> dcs;
    std::uintptr_t next = 0x20000;
};

GdiTables& Tables() {
    static GdiTables t;
    return t;
}

// Every memory DC starts with a 1 x 1 bitmap selected, as on the original platform.
HGDIOBJ StockBitmap() {
    static HGDIOBJ stock = [] {
        auto& t = Tables();
        auto h = t.next++;
        DibSection d;
        d.width = d.height = 1;
        d.pixels.assign(1, 0);
        t.objects.emplace(h, std::move(d));
        return reinterpret_cast<HGDIOBJ>(h);
    }();
    return stock;
}

HGDIOBJ AddObject(GdiObject object) {
    auto& t = Tables();
    auto h = t.next++;
    t.objects.emplace(h, std::move(object));
    return reinterpret_cast<HGDIOBJ>(h);
}

HDC AddDC(DeviceContext dc) {
    auto& t = Tables();
    auto h = t.next++;
    t.dcs.emplace(h, dc);
    return reinterpret_cast<HDC>(h);
}

DeviceContext* FindDC(HDC dc) {
    auto it = Tables().dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    return it == Tables().dcs.end() ? nullptr : &it->second;
}

}  // namespace

gdiplus::PixelImage DibSection::ToPixelImage(int x, int y, int w, int h) {
    gdiplus::PixelImage out;
    if (w <= 0 || h <= 0) return out;
    out.width = w;
    out.height = h;
    out.hasAlpha = true;
    if (x >= 0 && y >= 0 && w <= width - x && h <= height - y) {
        // Wholly inside (a layered window's whole surface): whole rows, no clearing first.
        out.pixels.reserve(static_cast<std::size_t>(w) * h);
        for (int row = 0; row < h; ++row) {
            const std::uint32_t* from = At(x, y + row);
            out.pixels.insert(out.pixels.end(), from, from + w);
        }
        return out;
    }
    out.pixels.assign(static_cast<std::size_t>(w) * h, 0);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            int sx = x + col, sy = y + row;
            if (sx >= 0 && sy >= 0 && sx < width && sy < height)
                out.pixels[static_cast<std::size_t>(row) * w + col] = *At(sx, sy);
        }
    return out;
}

DibSection* FindBitmap(HGDIOBJ object) {
    auto it = Tables().objects.find(reinterpret_cast<std::uintptr_t>(object));
    if (it == Tables().objects.end()) return nullptr;
    return std::get_if<DibSection>(&it->second);
}

bool FindBrushColor(HGDIOBJ object, COLORREF* color) {
    auto it = Tables().objects.find(reinterpret_cast<std::uintptr_t>(object));
    if (it == Tables().objects.end()) return false;
    auto* b = std::get_if<Brush>(&it->second);
    if (b && color) *color = b->color;
    return b != nullptr;
}

HBITMAP SelectedBitmap(HDC dc) {
    DeviceContext* d = FindDC(dc);
    return d && d->memory ? d->selected : nullptr;
}

HWND WindowOfDC(HDC dc) {
    DeviceContext* d = FindDC(dc);
    return d ? d->window : nullptr;
}

int LiveDCCount() {
    return static_cast<int>(Tables().dcs.size());
}

int LiveGdiObjectCount() {
    StockBitmap();
    return static_cast<int>(Tables().objects.size()) - 1;
}

}  // namespace win

HDC GetDC(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    win::DeviceContext dc;
    dc.window = hwnd;
    return win::AddDC(dc);
}

int ReleaseDC(HWND, HDC dc) {
    return win::Tables().dcs.erase(reinterpret_cast<std::uintptr_t>(dc)) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC) {
    win::DeviceContext dc;
    dc.memory = true;
    dc.selected = win::StockBitmap();
    return win::AddDC(dc);
}

BOOL DeleteDC(HDC dc) {
    return win::Tables().dcs.erase(reinterpret_cast<std::uintptr_t>(dc)) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    win::DeviceContext* d = win::FindDC(dc);
    if (!d || !win::FindBitmap(object)) return nullptr;
    HGDIOBJ previous = d->selected;
    d->selected = object;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object || object == win::StockBitmap()) return FALSE;
    // A bitmap still selected into a DC cannot be deleted.
    for (auto& [h, dc] : win::Tables().dcs)
        if (dc.selected == object) return FALSE;
    return win::Tables().objects.erase(reinterpret_cast<std::uintptr_t>(object)) ? TRUE : FALSE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, void*, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER)) return nullptr;
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biPlanes != 1) return nullptr;
    if (h.biWidth <= 0 || h.biHeight == 0) return nullptr;
    long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (static_cast<long long>(h.biWidth) * height > (1LL << 28)) return nullptr;
    win::DibSection d;
    d.width = h.biWidth;
    d.height = static_cast<int>(height);
    d.bottomUp = h.biHeight > 0;
    // Fresh sections are not cleared on the original platform either; callers clear them.
    d.pixels.assign(static_cast<std::size_t>(d.width) * d.height, 0xCDCDCDCDu);
    HGDIOBJ obj = win::AddObject(std::move(d));
    if (bits) *bits = win::FindBitmap(obj)->pixels.data();
    return obj;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return win::AddObject(win::Brush{color});
}

HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name) {
    // No predefined system bitmaps exist here; a null module finds none.
    if (!module) return nullptr;
    HRSRC res = FindResourceW(module, name, RT_BITMAP);
    if (!res) return nullptr;
    const auto* p = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    DWORD size = SizeofResource(module, res);
    if (!p || size < 40) return nullptr;
    auto rd32 = [&](std::size_t o) {
        return static_cast<std::int32_t>(p[o] | (p[o + 1] << 8) | (p[o + 2] << 16) |
                                         (static_cast<std::uint32_t>(p[o + 3]) << 24));
    };
    std::int32_t headerSize = rd32(0), width = rd32(4), height = rd32(8);
    int bitCount = p[14] | (p[15] << 8);
    if (headerSize < 40 || width <= 0 || height == 0 ||
        height == std::numeric_limits<std::int32_t>::min() || (bitCount != 32 && bitCount != 24) ||
        rd32(16) != 0)
        return nullptr;
    long long absHeight = height < 0 ? -static_cast<long long>(height) : height;
    long long stride = ((static_cast<long long>(width) * bitCount + 31) / 32) * 4;
    if (width > 16384 || absHeight > 16384 ||
        static_cast<long long>(headerSize) + stride * absHeight > size)
        return nullptr;
    BITMAPINFO bi;
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, nullptr, nullptr, 0);
    win::DibSection* d = win::FindBitmap(bmp);
    if (!d) return nullptr;
    for (long long row = 0; row < absHeight; ++row) {
        const BYTE* src = p + headerSize + row * stride;
        for (int x = 0; x < width; ++x) {
            const BYTE* px = src + x * (bitCount / 8);
            std::uint32_t a = bitCount == 32 ? px[3] : 255;
            d->pixels[static_cast<std::size_t>(row) * width + x] =
                (a << 24) | (px[2] << 16) | (px[1] << 8) | px[0];
        }
    }
    return bmp;
}
