#pragma once
// Control wrappers: push buttons, image buttons and brushes.
#include <memory>

#include "platform/afx/cwnd.h"
#include "platform/gdiplus/pixel_image.h"

class CButton : public CWnd {};

// An image button: no border, hand cursor, a normal face and a hot face shown while the
// pointer is over it; where its image does not cover it, what lies beneath shows through.
class CMFCButton : public CButton {
  public:
    enum FlatStyle {
        BUTTONSTYLE_3D,
        BUTTONSTYLE_FLAT,
        BUTTONSTYLE_SEMIFLAT,
        BUTTONSTYLE_NOBORDERS
    };
    // Faces from PNG resources of the executable; 0 for none.
    void SetImage(UINT normalId, UINT hotId = 0, UINT disabledId = 0);
    BOOL m_bTransparent = FALSE;
    FlatStyle m_nFlatStyle = BUTTONSTYLE_NOBORDERS;
    bool IsHot() const { return m_bHot; }
    const gdiplus::PixelImage* NormalImage() const { return m_normal.get(); }
    const gdiplus::PixelImage* HotImage() const { return m_hot.get(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    std::unique_ptr<gdiplus::PixelImage> m_normal, m_hot;
    bool m_bHot = false;
};

class CBrush {
  public:
    CBrush() = default;
    ~CBrush() { DeleteObject(); }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;
    BOOL CreateSolidBrush(COLORREF color);
    BOOL Attach(HBRUSH brush);
    BOOL DeleteObject();
    HBRUSH m_hObject = nullptr;
    operator HBRUSH() const { return m_hObject; }
};
