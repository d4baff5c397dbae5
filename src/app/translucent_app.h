#pragma once
// The application: starts the image library, shows the first launcher, and alternates between
// launcher and game window.
#include "platform/afx/cwinapp.h"

class CTranslucentApp : public CWinApp {
  public:
    CTranslucentApp();
    ~CTranslucentApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Closes the launcher and runs the game window at `url` with `title` in its caption.
    void OpenGameWindow(CString url, CString title);
    // Closes the game window and runs a fresh launcher.
    void ReturnToLauncher();

    DECLARE_MESSAGE_MAP()

  protected:
    void OnHelp() {}

  private:
    ULONG_PTR m_gdiplusToken = 0;
};
