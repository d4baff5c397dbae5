#pragma once
#include "layered/translucent_dialog.h"

// The launcher's frame: the launcher background as a borderless, draggable, centred window.
class CVelTranslucentDlg : public CTranslucentDialog {
  public:
    CVelTranslucentDlg(UINT imageId, LPCTSTR imageType, HINSTANCE imageModule, CWnd* pParent);
    ~CVelTranslucentDlg() override;

  protected:
    CStandardDialog* CreateOverlay() override;
    void OnPrepareView() override {}
};
