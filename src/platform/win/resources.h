#pragma once
// Resources of the executable, and the module functions that find and load them.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/types.h"

HMODULE GetModuleHandleW(LPCWSTR name);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
BOOL FreeResource(HGLOBAL loaded);

// Run-time look-up of functions by module and name.
HMODULE LoadLibraryW(LPCWSTR name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

namespace win {

// Adds a resource to the executable's table at run time (tests use it for odd data).
void AddResource(unsigned id, const std::wstring& type, std::vector<std::uint8_t> bytes);
void RemoveAddedResources();
// Makes an exported function unavailable to GetProcAddress (tests: a platform without it).
void SetExportAvailable(const char* name, bool available);
// Counts of loaded resources not yet freed and of open library references.
int LoadedResourceCount();
int LibraryReferenceCount();
// Overrides the path GetModuleFileNameW reports (tests: an executable in another place).
void SetModulePathForTesting(const std::wstring& path);

}  // namespace win
