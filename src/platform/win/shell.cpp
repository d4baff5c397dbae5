#include "platform/win/shell.h"

#include <map>
#include <optional>

#include "platform/backend/backend.h"
#include "platform/gdiplus/ico_decoder.h"
#include "platform/win/api.h"
#include "platform/win/resources.h"

namespace win {
namespace {

struct TrayEntry {
    HWND owner;
    UINT id;
    UINT callbackMessage;
    UINT flags;
    HICON icon;
    std::wstring tip;
};

struct ShellState {
    std::map<unsigned, HICON> iconsById;
    std::map<std::uintptr_t, gdiplus::PixelImage> icons;
    std::uintptr_t nextIcon = 0x40000;
    std::optional<TrayEntry> tray;  // the system shows one icon at a time
};

ShellState& State() {
    static ShellState s;
    return s;
}

// The icon size the window and the tray use.
constexpr int kIconSize = 48;

void ShowTray(const TrayEntry& e) {
    const gdiplus::PixelImage* image = IconImage(e.icon);
    static const gdiplus::PixelImage kEmpty;
    Desktop().TrayAdd(e.owner, e.id, image ? *image : kEmpty, e.tip);
}

}  // namespace

const gdiplus::PixelImage* IconImage(HICON icon) {
    auto it = State().icons.find(reinterpret_cast<std::uintptr_t>(icon));
    return it == State().icons.end() ? nullptr : &it->second;
}

void TrayIconActivated(HWND owner, UINT id) {
    auto& tray = State().tray;
    if (!tray || tray->owner != owner || tray->id != id || !(tray->flags & NIF_MESSAGE)) return;
    PostMessageW(owner, tray->callbackMessage, id, WM_LBUTTONUP);
}

void TrayHostRestarted() {
    if (State().tray) ShowTray(*State().tray);
}

bool TrayIconShown(HWND owner) {
    return State().tray && State().tray->owner == owner && Desktop().TrayShown();
}

}  // namespace win

HICON LoadIconW(HINSTANCE module, LPCWSTR name) {
    if (!name || !IS_INTRESOURCE(name)) return nullptr;
    unsigned id = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(name));
    auto& state = win::State();
    // Resource icons are shared: every load of one id gives the same handle.
    if (auto it = state.iconsById.find(id); it != state.iconsById.end()) return it->second;
    HRSRC res = FindResourceW(module, name, RT_GROUP_ICON);
    if (!res) return nullptr;
    HGLOBAL loaded = LoadResource(module, res);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    gdiplus::PixelImage image;
    bool ok =
        bytes && gdiplus::DecodeIco(bytes, SizeofResource(module, res), win::kIconSize, image);
    FreeResource(loaded);
    if (!ok) return nullptr;
    auto h = state.nextIcon++;
    state.icons.emplace(h, std::move(image));
    HICON icon = reinterpret_cast<HICON>(h);
    state.iconsById[id] = icon;
    return icon;
}

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    if (!data) return FALSE;
    auto& tray = win::State().tray;
    if (message == NIM_ADD) {
        if (!IsWindow(data->hWnd)) return FALSE;
        if (tray && tray->owner == data->hWnd && tray->id == data->uID) return FALSE;
        // One icon for the process: a newer owner takes the place of an older one.
        if (tray) win::Desktop().TrayRemove(tray->owner, tray->id);
        win::TrayEntry e{data->hWnd,
                         data->uID,
                         data->uCallbackMessage,
                         data->uFlags,
                         (data->uFlags & NIF_ICON) ? data->hIcon : nullptr,
                         (data->uFlags & NIF_TIP) ? std::wstring(data->szTip) : std::wstring()};
        tray = e;
        win::ShowTray(e);
        return TRUE;
    }
    if (message == NIM_DELETE) {
        if (!tray || tray->owner != data->hWnd || tray->id != data->uID) return FALSE;
        win::Desktop().TrayRemove(tray->owner, tray->id);
        tray.reset();
        return TRUE;
    }
    return FALSE;
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
    // Results above 32 mean success; 2 is "file not found".
    auto fail = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(2));
    if (!file || !*file) return fail;
    if (verb && std::wstring(verb) != L"open") return fail;
    return win::Desktop().OpenUri(file)
               ? reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(42))
               : fail;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return win::Desktop().MessageBox(owner, text ? text : L"", caption ? caption : L"", type);
}
