#include "platform/win/resources.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <iterator>
#include <set>

#include "platform/win/api.h"
#include "platform/win/layered.h"
#include "platform/win/resource_table.h"
#include "platform/win/text_encoding.h"

namespace win {
namespace {

struct AddedResource {
    unsigned id;
    std::wstring type;
    std::vector<std::uint8_t> bytes;
};

struct ModuleState {
    std::vector<AddedResource> added;
    std::map<std::uintptr_t, std::pair<const std::uint8_t*, std::size_t>> found;
    std::uintptr_t nextFound = 0x30000;
    std::multiset<std::uintptr_t> loaded;  // a resource may be loaded by several users at once
    int libraryRefs = 0;
    std::set<std::string> unavailable;
    std::optional<std::wstring> pathOverride;
};

ModuleState& State() {
    static ModuleState s;
    return s;
}

// The executable's own module handle: any fixed non-null value.
HMODULE ExecutableModule() {
    return reinterpret_cast<HMODULE>(0x400000);
}
HMODULE User32Module() {
    return reinterpret_cast<HMODULE>(0x7E0000);
}

std::wstring Upper(std::wstring s) {
    for (auto& c : s)
        if (c >= L'a' && c <= L'z') c = c - L'a' + L'A';
    return s;
}

// Integer resource types we carry under a name.
std::wstring TypeName(LPCWSTR type) {
    if (!type) return L"";
    if (!IS_INTRESOURCE(type)) return Upper(type);
    switch (reinterpret_cast<std::uintptr_t>(type)) {
        case 2:
            return L"#BITMAP";
        case 14:
            return L"ICON";
        case 23:
            return L"HTML";
        default:
            return L"#" + std::to_wstring(reinterpret_cast<std::uintptr_t>(type));
    }
}

std::optional<unsigned> IdOf(LPCWSTR name) {
    if (name && IS_INTRESOURCE(name))
        return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(name));
    return std::nullopt;
}

}  // namespace

void AddResource(unsigned id, const std::wstring& type, std::vector<std::uint8_t> bytes) {
    std::wstring t = type == L"#BITMAP" ? type : Upper(type);
    State().added.push_back({id, t, std::move(bytes)});
}

void RemoveAddedResources() {
    State().added.clear();
}

void SetExportAvailable(const char* name, bool available) {
    if (available)
        State().unavailable.erase(name);
    else
        State().unavailable.insert(name);
}

int LoadedResourceCount() {
    return static_cast<int>(State().loaded.size());
}
int LibraryReferenceCount() {
    return State().libraryRefs;
}
void SetModulePathForTesting(const std::wstring& path) {
    if (path.empty())
        State().pathOverride.reset();
    else
        State().pathOverride = path;
}

}  // namespace win

HMODULE GetModuleHandleW(LPCWSTR name) {
    if (!name) return win::ExecutableModule();
    return win::Upper(name) == L"USER32.DLL" ? win::User32Module() : nullptr;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (!buffer || size == 0 || (module && module != win::ExecutableModule())) return 0;
    std::wstring path;
    if (win::State().pathOverride) {
        path = *win::State().pathOverride;
    } else {
        // The executable's own path, links resolved, so config.ini is found beside the real file.
        std::vector<char> link(4096);
        ssize_t n = readlink("/proc/self/exe", link.data(), link.size() - 1);
        if (n <= 0) return 0;
        path = win::FromUtf8(std::string_view(link.data(), static_cast<std::size_t>(n)));
    }
    // Truncated like the original: size - 1 characters and a terminator.
    DWORD copy = std::min<DWORD>(static_cast<DWORD>(path.size()), size - 1);
    std::wmemcpy(buffer, path.data(), copy);
    buffer[copy] = L'\0';
    return copy;
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (module && module != win::ExecutableModule()) return nullptr;
    auto id = win::IdOf(name);
    if (!id) return nullptr;
    std::wstring t = win::TypeName(type);
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool found = false;
    for (auto& r : win::State().added)
        if (r.id == *id && r.type == t) {
            data = r.bytes.data();
            size = r.bytes.size();
            found = true;
        }
    for (std::size_t i = 0; !found && i < win::kEmbeddedResourceCount; ++i) {
        const auto& r = win::kEmbeddedResources[i];
        if (r.id == *id && win::Upper(r.type) == t) {
            data = r.begin;
            size = static_cast<std::size_t>(r.end - r.begin);
            found = true;
        }
    }
    if (!found) return nullptr;
    // One handle per resource, however often it is looked up, so the table stays small.
    for (auto& [handle, entry] : win::State().found)
        if (entry.first == data && entry.second == size) return reinterpret_cast<HRSRC>(handle);
    auto h = win::State().nextFound++;
    win::State().found[h] = {data, size};
    return reinterpret_cast<HRSRC>(h);
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    auto it = win::State().found.find(reinterpret_cast<std::uintptr_t>(resource));
    return it == win::State().found.end() ? 0 : static_cast<DWORD>(it->second.second);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    auto key = reinterpret_cast<std::uintptr_t>(resource);
    if (!win::State().found.count(key)) return nullptr;
    win::State().loaded.insert(key);
    return reinterpret_cast<HGLOBAL>(key);
}

LPVOID LockResource(HGLOBAL loaded) {
    auto key = reinterpret_cast<std::uintptr_t>(loaded);
    if (!win::State().loaded.count(key)) return nullptr;
    return const_cast<std::uint8_t*>(win::State().found[key].first);
}

BOOL FreeResource(HGLOBAL loaded) {
    auto& set = win::State().loaded;
    auto it = set.find(reinterpret_cast<std::uintptr_t>(loaded));
    if (it == set.end()) return FALSE;
    set.erase(it);
    return TRUE;
}

HMODULE LoadLibraryW(LPCWSTR name) {
    HMODULE m = name ? GetModuleHandleW(name) : nullptr;
    if (m == win::User32Module()) ++win::State().libraryRefs;
    return m == win::User32Module() ? m : nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (module != win::User32Module() || !name || win::State().unavailable.count(name))
        return nullptr;
    if (std::strcmp(name, "UpdateLayeredWindow") == 0)
        return reinterpret_cast<FARPROC>(&UpdateLayeredWindow);
    if (std::strcmp(name, "SetLayeredWindowAttributes") == 0)
        return reinterpret_cast<FARPROC>(&SetLayeredWindowAttributes);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    if (module != win::User32Module() || win::State().libraryRefs == 0) return FALSE;
    --win::State().libraryRefs;
    return TRUE;
}
