#include "layered/resource_image.h"

#include <cstring>
#include <new>

#include "platform/afx/cwinapp.h"

Gdiplus::Image* LoadResourceImage(UINT id, LPCTSTR type, HINSTANCE module) {
    LPCWSTR name = MAKEINTRESOURCEW(id);
    if (type == RT_BITMAP) {
        HBITMAP bitmap = LoadBitmapW(module, name);
        Gdiplus::Image* image = new (std::nothrow) Gdiplus::Bitmap(bitmap, nullptr);
        DeleteObject(bitmap);
        return image;
    }
    if (!module) module = AfxGetResourceHandle();
    HRSRC resource = FindResourceW(module, name, type);
    DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = LockResource(loaded);
    // The image reads from its own copy, which the stream owns and frees when the image lets
    // go of it, so the resource can be freed at once.
    HGLOBAL copy = GlobalAlloc(GMEM_FIXED, size);
    void* target = GlobalLock(copy);
    if (target && bytes && size) std::memcpy(target, bytes, size);
    IStream* stream = nullptr;
    if (copy && CreateStreamOnHGlobal(copy, TRUE, &stream) != S_OK) {
        stream = nullptr;
        GlobalFree(copy);
        copy = nullptr;
    }
    Gdiplus::Image* image = new (std::nothrow) Gdiplus::Image(stream, FALSE);
    if (copy) GlobalUnlock(copy);
    if (stream) stream->Release();
    if (loaded) FreeResource(loaded);
    return image;
}
