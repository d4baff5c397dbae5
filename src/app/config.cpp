#include "app/config.h"

#include "platform/win/windows.h"

CString GetModuleDirectory() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString full(path, n);
    // No drive letters here: the directory is everything up to the last separator.
    auto slash = full.find_last_of(L"/\\");
    return slash == CString::npos ? CString() : full.substr(0, slash + 1);
}

CString ReadConfigValue(CString key) {
    // The directory already ends in a separator.
    CString file = GetModuleDirectory() + L"config.ini";
    wchar_t value[512];
    GetPrivateProfileStringW(L"tova", key.c_str(), kConfigMissing, value, 512, file.c_str());
    return value;
}

CString BuiltInDefault(const CString& key) {
    // Five hosts of the operator's portal, plain HTTP, the paths the portal uses.
    if (key == L"client_web") return L"http://launcher.nebrisk.com/embed/3426/";
    if (key == L"home_url") return L"http://www.nebrisk.com/";
    if (key == L"recharge_url") return L"http://pay.nebrisk.com/3372.htm";
    if (key == L"service_url") return L"http://help.nebrisk.com/faq/";
    if (key == L"forum_url") return L"http://bbs.nebrisk.com/forum-870-1.html";
    return CString();
}

CString ReadConfigValueOrDefault(const CString& key) {
    CString value = ReadConfigValue(key);
    if (value == kConfigMissing) value = BuiltInDefault(key);
    return value;
}
