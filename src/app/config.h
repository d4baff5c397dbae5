#pragma once
// The configuration file beside the executable: read at the moment of use, never written.
#include "platform/afx/cmdtarget.h"

// The directory of the running executable, ending in a separator.
CString GetModuleDirectory();
// The value of `key` in section "tova" of config.ini, or the sentinel "error" when the file,
// the section or the key is missing.
CString ReadConfigValue(CString key);

// The sentinel ReadConfigValue reports for a missing value.
inline constexpr const wchar_t* kConfigMissing = L"error";
// ReadConfigValue with the caller's rule: the sentinel becomes the key's built-in default.
CString ReadConfigValueOrDefault(const CString& key);
// The built-in default of a key (empty for unknown keys).
CString BuiltInDefault(const CString& key);
