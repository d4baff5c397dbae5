// Any bytes as config.ini, looked up with any section and key: the reader must answer with a
// value that holds no line break or NUL, or with nothing, and never fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/win/private_profile.h"
#include "platform/win/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first two bytes give the lengths of the section and key names that follow.
    if (size < 2) return 0;
    size_t sectionLength = data[0] % 16, keyLength = data[1] % 16;
    if (size < 2 + sectionLength + keyLength) return 0;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::wstring section = win::FromUtf8(bytes.substr(2, sectionLength));
    std::wstring key = win::FromUtf8(bytes.substr(2 + sectionLength, keyLength));
    std::string_view file = bytes.substr(2 + sectionLength + keyLength);
    auto value = win::FindProfileValue(file, section, key);
    if (value && value->find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring::npos)
        std::abort();
    // The whole file as a section and key name, too.
    win::FindProfileValue(file, win::FromUtf8(file), win::FromUtf8(file.substr(0, 64)));
    return 0;
}
