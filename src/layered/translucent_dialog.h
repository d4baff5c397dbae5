#pragma once
// A frameless dialog whose outline and shading come from an image with per-pixel alpha,
// composed off screen and pushed in one layered update, carrying a colour-keyed overlay of
// ordinary controls exactly on top of itself.
#include <list>

#include "layered/render_listener.h"
#include "layered/rendered_child.h"
#include "layered/standard_dialog.h"
#include "platform/afx/cdialog.h"
#include "platform/gdiplus/gdiplus.h"

class CTranslucentDialog : public CDialog, public IRenderListener {
  public:
    CTranslucentDialog(UINT nIDTemplate, UINT imageId, LPCTSTR imageType, HINSTANCE imageModule,
                       CWnd* pParent);
    ~CTranslucentDialog() override;

    void ComposeAndPush();
    void OnRenderRequest(void* sender) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    BLENDFUNCTION m_blend{};
    Gdiplus::Image* m_pBackground = nullptr;
    bool m_bDragMove = true;
    bool m_bCenterOnCreate = true;
    bool m_bIgnoreRenderRequests = false;
    bool m_bDetached = false;
    CStandardDialog* m_pOverlay = nullptr;
    std::list<CRenderedChild*> m_renderedChildren;

  protected:
    virtual CStandardDialog* CreateOverlay() = 0;
    virtual void OnPrepareView() = 0;

    BOOL OnEraseBkgnd(HDC dc);
    void OnMove(int x, int y);
    void OnSize(UINT nType, int cx, int cy);
    int OnCreate(CREATESTRUCTW* lpCreateStruct);
    void OnLButtonDown(UINT nFlags, POINT point);

    DECLARE_MESSAGE_MAP()
};
