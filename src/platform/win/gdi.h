#pragma once
// Device contexts, 32-bit DIB sections and solid brushes: as much GDI as composing a layered
// window needs.
#include "platform/gdiplus/pixel_image.h"
#include "platform/win/types.h"

struct BITMAPINFOHEADER {
    DWORD biSize = 0;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 0;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
struct RGBQUAD {
    BYTE rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
struct BLENDFUNCTION {
    BYTE BlendOp = 0;
    BYTE BlendFlags = 0;
    BYTE SourceConstantAlpha = 0;
    BYTE AlphaFormat = 0;
};
constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section,
                         DWORD offset);
HBRUSH CreateSolidBrush(COLORREF color);
HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name);

namespace win {

// A 32-bit bitmap as GDI keeps it: rows bottom-up when `bottomUp`, pixels 0xAARRGGBB.
struct DibSection {
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    std::vector<std::uint32_t> pixels;
    // Address of the pixel at (x, y) counted from the top-left corner.
    std::uint32_t* At(int x, int y) {
        int row = bottomUp ? height - 1 - y : y;
        return &pixels[static_cast<std::size_t>(row) * width + x];
    }
    gdiplus::PixelImage ToPixelImage(int x, int y, int w, int h);
};

DibSection* FindBitmap(HGDIOBJ object);
bool FindBrushColor(HGDIOBJ object, COLORREF* color);
// The bitmap selected into a DC (memory DCs), or null.
HBITMAP SelectedBitmap(HDC dc);
HWND WindowOfDC(HDC dc);
// Live counts, so tests can see every DC and object given back.
int LiveDCCount();
int LiveGdiObjectCount();

}  // namespace win
