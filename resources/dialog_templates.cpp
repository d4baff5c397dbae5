// The executable's dialog templates: the launcher frame (102), the launcher's control layer
// (103) and the game window (150).
#include "platform/afx/dialog_template.h"
#include "platform/win/constants.h"

namespace {

constexpr DWORD kMfcButton = WS_VISIBLE | WS_TABSTOP;

const DialogTemplate kTemplates[] = {
    {102,
     WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | DS_SETFONT | DS_FIXEDSYS,
     WS_EX_APPWINDOW,
     0,
     0,
     315,
     208,
     L"Nebrisk",
     L"MS Shell Dlg",
     9,
     {}},
    {103,
     WS_POPUP | DS_SETFONT,
     0,
     0,
     0,
     662,
     388,
     L"",
     L"MS Sans Serif",
     9,
     {
         {104, L"Button", L"官方网站", BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 7, 50, 14},
         {1005, L"WebView", L"", WS_VISIBLE | WS_TABSTOP, 344, 130, 406, 200},
         {1006, L"MfcButton", L"", kMfcButton, 344, 100, 73, 22},
         {1004, L"MfcButton", L"", kMfcButton, 740, 71, 28, 25},
         {1008, L"MfcButton", L"", kMfcButton, 417, 100, 73, 22},
         {1009, L"MfcButton", L"", kMfcButton, 590, 100, 73, 22},
         {1010, L"MfcButton", L"", kMfcButton, 664, 100, 73, 22},
         {1012, L"MfcButton", L"", kMfcButton, 718, 78, 28, 17},
     }},
    // The style value as the template stores it: popup, caption, modal frame, centred,
    // shell font; hidden at creation.
    {150, 0x80C008C8, WS_EX_APPWINDOW, 0, 0, 835, 415, L"Nebrisk", L"MS Shell Dlg", 8, {}},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(UINT id) {
    for (const DialogTemplate& t : kTemplates)
        if (t.id == id) return &t;
    return nullptr;
}
