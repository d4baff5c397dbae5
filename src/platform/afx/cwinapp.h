#pragma once
// The application object: start, end, and the main-window slot naming the current top-level
// window object.
#include <memory>

#include "platform/afx/cdialog.h"

class CWinApp : public CCmdTarget {
  public:
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    CWnd* m_pMainWnd = nullptr;

    // Runs `first` modally; whenever a run ends because a hand-over asked it to, runs the
    // window that the hand-over made next. Each finished window object is destroyed before
    // the next run starts, so hand-overs never nest. Returns the last run's result.
    INT_PTR RunModalChain(std::unique_ptr<CDialog> first);
    // Creates and shows `next` now, ends the current run, and leaves `next` for the chain to
    // run. If `next` cannot be created, no window remains and the process ends.
    void HandOver(std::unique_ptr<CDialog> next);

    // How many window objects the chain holds, and how deep its runs are (both stay small).
    int LiveChainObjects() const;
    int ModalDepth() const { return m_depth; }

  private:
    std::unique_ptr<CDialog> m_pRunning;
    std::unique_ptr<CDialog> m_pNext;
    int m_depth = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
BOOL AfxEnableControlContainer(void* manager = nullptr);
// The framework's entry: InitInstance, then ExitInstance, whose result is the exit status.
int AfxWinMain();
