#include "platform/afx/controls.h"

#include "platform/afx/cwinapp.h"
#include "platform/backend/backend.h"
#include "platform/gdiplus/png_decoder.h"

namespace {

std::unique_ptr<gdiplus::PixelImage> LoadPngResource(UINT id) {
    if (!id) return nullptr;
    HMODULE module = AfxGetResourceHandle();
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res) return nullptr;
    HGLOBAL loaded = LoadResource(module, res);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    auto image = std::make_unique<gdiplus::PixelImage>();
    bool ok = bytes && gdiplus::DecodePng(bytes, SizeofResource(module, res), *image);
    FreeResource(loaded);
    return ok ? std::move(image) : nullptr;
}

}  // namespace

void CMFCButton::SetImage(UINT normalId, UINT hotId, UINT) {
    m_normal = LoadPngResource(normalId);
    m_hot = LoadPngResource(hotId);
    if (m_hWnd) win::Desktop().SetButtonFace(m_hWnd, m_normal.get(), m_hot.get());
}

LRESULT CMFCButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The hot face follows the pointer.
    if (message == WM_MOUSEMOVE) m_bHot = true;
    if (message == WM_MOUSELEAVE) m_bHot = false;
    return CButton::WindowProc(message, wParam, lParam);
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    return Attach(::CreateSolidBrush(color));
}

BOOL CBrush::Attach(HBRUSH brush) {
    if (m_hObject || !brush) return FALSE;
    m_hObject = brush;
    return TRUE;
}

BOOL CBrush::DeleteObject() {
    if (!m_hObject) return FALSE;
    BOOL ok = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return ok;
}
