#include "platform/win/layered.h"

#include "platform/backend/backend.h"
#include "platform/win/api.h"
#include "platform/win/window.h"

BOOL UpdateLayeredWindow(HWND hwnd, HDC, POINT* dstPoint, SIZE* size, HDC src, POINT* srcPoint,
                         COLORREF, BLENDFUNCTION* blend, DWORD flags) {
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!w || !(w->exStyle & WS_EX_LAYERED) || !size || !src || !(flags & ULW_ALPHA)) return FALSE;
    win::DibSection* bits = win::FindBitmap(win::SelectedBitmap(src));
    if (!bits || size->cx <= 0 || size->cy <= 0) return FALSE;
    POINT from = srcPoint ? *srcPoint : POINT{};
    gdiplus::PixelImage picture = bits->ToPixelImage(from.x, from.y, size->cx, size->cy);
    // A constant alpha below 255 fades the whole picture.
    if (blend && blend->SourceConstantAlpha != 255) {
        unsigned k = blend->SourceConstantAlpha;
        for (auto& p : picture.pixels) {
            unsigned a = ((p >> 24) * k + 127) / 255, r = (((p >> 16) & 255) * k + 127) / 255,
                     g = (((p >> 8) & 255) * k + 127) / 255, b = ((p & 255) * k + 127) / 255;
            p = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    POINT at = dstPoint ? *dstPoint : POINT{w->rect.left, w->rect.top};
    win::Desktop().PushLayeredPicture(hwnd, picture, at);
    return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE, DWORD flags) {
    win::Window* w = win::FindWindowRecord(hwnd);
    if (!w || !(w->exStyle & WS_EX_LAYERED)) return FALSE;
    if (flags & LWA_COLORKEY) {
        w->colorKey = key;
        w->hasColorKey = true;
        win::Desktop().SetColorKey(hwnd, key);
    }
    return TRUE;
}
