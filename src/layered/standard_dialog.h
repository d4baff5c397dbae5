#pragma once
// The overlay of a translucent dialog: a modeless dialog of ordinary controls whose own
// background is one key colour that the desktop treats as see-through and click-through.
// Ending it with OK or Cancel first asks its owner to close.
#include "platform/afx/cdhtmldialog.h"
#include "platform/afx/controls.h"

class CStandardDialog : public CDHtmlDialog {
  public:
    CStandardDialog(UINT nIDTemplate, COLORREF colorKey, CWnd* pParent);
    ~CStandardDialog() override;

    void CreateAndShow();
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    COLORREF m_colorKey;
    CBrush m_keyBrush;

  protected:
    HBRUSH OnCtlColor(HDC pDC, CWnd* pWnd, UINT nCtlColor);
    // Sends WM_CLOSE to the window this overlay belongs to, if any.
    void AskOwnerToClose();
    // Plain-dialog behaviour: the HTML dialog's own handlers are skipped.
    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;
};
