#include "launcher/vel_translucent_dlg.h"

#include "launcher/vel_standard_dlg.h"

CVelTranslucentDlg::CVelTranslucentDlg(UINT imageId, LPCTSTR imageType, HINSTANCE imageModule,
                                       CWnd* pParent)
    : CTranslucentDialog(102, imageId, imageType, imageModule, pParent) {}

CVelTranslucentDlg::~CVelTranslucentDlg() = default;

CStandardDialog* CVelTranslucentDlg::CreateOverlay() {
    return new CVelStandardDlg(this);
}
