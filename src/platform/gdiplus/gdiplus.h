#pragma once
// Images decoded from streams or copied from bitmaps, and drawing them into a DIB.
#include "platform/gdiplus/pixel_image.h"
#include "platform/win/windows.h"

namespace Gdiplus {

using gdiplus::PixelImage;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    Win32Error = 7,
    UnknownImageFormat = 13,
    GdiplusNotInitialized = 18
};
enum SmoothingMode {
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4
};

struct GdiplusStartupInput {
    std::uint32_t GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);
// True between a start-up and its shut-down.
bool GdiplusRunning();

struct Rect {
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class Image {
  public:
    // Decodes the stream; the image holds a reference to the stream while it exists.
    Image(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    UINT GetWidth() const { return native_ ? static_cast<UINT>(pixels_.width) : 0; }
    UINT GetHeight() const { return native_ ? static_cast<UINT>(pixels_.height) : 0; }
    Status GetLastStatus() const { return status_; }
    bool HasAlpha() const { return native_ && pixels_.hasAlpha; }
    const PixelImage* Pixels() const { return native_ ? &pixels_ : nullptr; }

  protected:
    Image() = default;
    PixelImage pixels_;
    bool native_ = false;  // a native image was made
    Status status_ = GenericError;

  private:
    IStream* stream_ = nullptr;
};

class Bitmap : public Image {
  public:
    // Copies the pixels of a GDI bitmap; no palette is used for 32-bit bitmaps.
    Bitmap(HBITMAP bitmap, void* palette);
};

class Graphics {
  public:
    explicit Graphics(HDC dc);
    Status SetSmoothingMode(SmoothingMode mode);
    // Draws the whole image scaled into `dest`, blending over what is there.
    Status DrawImage(Image* image, const Rect& dest);
    Status DrawImage(Image* image, int x, int y, int width, int height) {
        return DrawImage(image, Rect{x, y, width, height});
    }
    Status GetLastStatus() const { return status_; }

  private:
    HDC dc_;
    SmoothingMode smoothing_ = SmoothingModeDefault;
    Status status_ = Ok;
};

}  // namespace Gdiplus
