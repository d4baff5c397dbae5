#pragma once
// Dialog templates: the resource a dialog window and its controls are made from. Sizes are in
// dialog units, which depend on the template's font.
#include <string>
#include <vector>

#include "platform/win/types.h"

struct DialogControl {
    int id;
    const wchar_t* className;  // "Button", "MfcButton", "WebView"
    const wchar_t* text;
    DWORD style;  // WS_CHILD is implied
    int x, y, cx, cy;
};

struct DialogTemplate {
    UINT id;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
    const wchar_t* caption;
    const wchar_t* fontName;
    int pointSize;
    std::vector<DialogControl> controls;
};

// The executable's template with this id, or null.
const DialogTemplate* FindDialogTemplate(UINT id);
// Pixels per dialog unit for the template's font: horizontal units are quarters of the
// average character width, vertical units eighths of the character height.
POINT DialogBaseUnits(const DialogTemplate& t);
