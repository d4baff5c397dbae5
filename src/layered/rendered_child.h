#pragma once
#include "platform/afx/cwnd.h"
#include "platform/gdiplus/gdiplus.h"

// A window drawn into the translucent dialog's picture rather than by itself.
class CRenderedChild : public CWnd {
  public:
    bool m_bVisible = true;
    virtual void Draw(Gdiplus::Graphics& graphics) = 0;
};
