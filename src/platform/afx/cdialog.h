#pragma once
// Dialogs from templates: modal runs with their own message loop, or modeless windows.
#include "platform/afx/cwnd.h"
#include "platform/afx/dialog_template.h"

class CDataExchange {
  public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};
// Binds a member object to the dialog's control with this id.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    // The two halves of a modal run, for hand-overs that show the next window before the
    // current run has ended: create and show, then run the loop and destroy the window.
    BOOL CreateModalWindow();
    INT_PTR RunModalLoopAndDestroy();
    // Ends the modal loop that runs this dialog, when control returns to it.
    void EndModalLoop(int result);

    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    INT_PTR m_nModalResult = -1;

    DECLARE_MESSAGE_MAP()

  protected:
    virtual void DoDataExchange(CDataExchange*) {}
    LRESULT HandleInitDialog(WPARAM, LPARAM);

  private:
    BOOL CreateFromTemplate(HWND owner);
    bool m_bContinueModal = false;
    bool m_bModeless = false;
};
