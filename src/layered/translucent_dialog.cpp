#include "layered/translucent_dialog.h"

#include <cstring>

#include "layered/resource_image.h"

CTranslucentDialog::CTranslucentDialog(UINT nIDTemplate, UINT imageId, LPCTSTR imageType,
                                       HINSTANCE imageModule, CWnd* pParent)
    : CDialog(nIDTemplate, pParent) {
    m_pBackground = LoadResourceImage(imageId, imageType, imageModule);
}

CTranslucentDialog::~CTranslucentDialog() {
    if (m_pOverlay) {
        delete m_pOverlay;
        m_pOverlay = nullptr;
    }
    delete m_pBackground;
    m_pBackground = nullptr;
    m_renderedChildren.clear();
}

BEGIN_MESSAGE_MAP(CTranslucentDialog, CDialog)
ON_WM_ERASEBKGND()
ON_WM_MOVE()
ON_WM_SIZE()
ON_WM_CREATE()
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

BOOL CTranslucentDialog::OnEraseBkgnd(HDC) {
    return TRUE;
}

int CTranslucentDialog::OnCreate(CREATESTRUCTW* lpCreateStruct) {
    int x = lpCreateStruct->x;
    int y = lpCreateStruct->y;
    if (m_bCenterOnCreate) {
        // Centred as if the window kept its caption and frame.
        LONG w = m_pBackground ? static_cast<LONG>(m_pBackground->GetWidth()) : 0;
        LONG h = m_pBackground ? static_cast<LONG>(m_pBackground->GetHeight()) : 0;
        RECT r{0, 0, w, h};
        AdjustWindowRect(&r, GetStyle(), FALSE);
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + ((work.right - work.left) - r.Width()) / 2;
        y = work.top + ((work.bottom - work.top) - r.Height()) / 2;
    }
    int w = m_pBackground ? static_cast<int>(m_pBackground->GetWidth()) : 0;
    int h = m_pBackground ? static_cast<int>(m_pBackground->GetHeight()) : 0;
    if (Default() == -1) return -1;
    m_pOverlay = CreateOverlay();
    if (m_pOverlay) m_pOverlay->CreateAndShow();
    ModifyStyle(WS_CAPTION, WS_POPUP, 0);
    MoveWindow(x, y, w, h, TRUE);
    return 0;
}

BOOL CTranslucentDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bDetached = false;
    m_blend.BlendOp = AC_SRC_OVER;
    m_blend.BlendFlags = 0;
    m_blend.SourceConstantAlpha = 255;
    m_blend.AlphaFormat = AC_SRC_ALPHA;
    OnPrepareView();
    ComposeAndPush();
    return TRUE;
}

void CTranslucentDialog::ComposeAndPush() {
    int w = m_pBackground ? static_cast<int>(m_pBackground->GetWidth()) : 0;
    int h = m_pBackground ? static_cast<int>(m_pBackground->GetHeight()) : 0;
    DWORD exStyle = GetExStyle();
    if (!(exStyle & WS_EX_LAYERED))
        SetWindowLongW(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(exStyle | WS_EX_LAYERED));

    HDC screenDC = ::GetDC(m_hWnd);
    HDC memDC = CreateCompatibleDC(screenDC);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    POINT dst{rc.left, rc.top};

    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = h;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    bmi.bmiHeader.biSizeImage =
        static_cast<DWORD>(((w * 32 + 31) / 8) & ~3) * static_cast<DWORD>(h);
    void* bits = nullptr;
    HBITMAP surface = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (surface && bits) {
        std::memset(bits, 0, static_cast<std::size_t>(w) * h * 4);
        HGDIOBJ previous = SelectObject(memDC, surface);
        auto* graphics = new Gdiplus::Graphics(memDC);
        graphics->SetSmoothingMode(Gdiplus::SmoothingModeNone);
        if (!m_bDetached)
            graphics->DrawImage(m_pBackground, 0, 0, w, h);
        else
            graphics->DrawImage(m_pBackground, 0, 0, 1, 1);
        for (CRenderedChild* child : m_renderedChildren)
            if (child->m_bVisible || m_bDetached) child->Draw(*graphics);

        SIZE size{w, h};
        POINT src{0, 0};
        HMODULE user32 = LoadLibraryW(L"User32.DLL");
        auto update =
            reinterpret_cast<UpdateLayeredWindowFn>(GetProcAddress(user32, "UpdateLayeredWindow"));
        if (update) update(m_hWnd, screenDC, &dst, &size, memDC, &src, 0, &m_blend, ULW_ALPHA);
        if (user32) FreeLibrary(user32);

        SelectObject(memDC, previous);
        DeleteObject(surface);
        delete graphics;
    }
    DeleteDC(memDC);
    ::ReleaseDC(m_hWnd, screenDC);
}

void CTranslucentDialog::OnLButtonDown(UINT, POINT) {
    if (m_bDragMove) SendMessage(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    Default();
}

void CTranslucentDialog::OnMove(int x, int y) {
    Default();
    if (m_pOverlay && !m_bDetached)
        ::SetWindowPos(m_pOverlay->m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CTranslucentDialog::OnSize(UINT, int cx, int cy) {
    Default();
    if (m_pOverlay)
        ::SetWindowPos(m_pOverlay->m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER);
}

BOOL CTranslucentDialog::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
        ::TranslateMessage(pMsg);
        ::DispatchMessageW(pMsg);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CTranslucentDialog::OnRenderRequest(void*) {
    if (!m_bIgnoreRenderRequests) ComposeAndPush();
}
