#pragma once
// The resources carried inside the executable, generated at build time.
#include <cstddef>

namespace win {

struct EmbeddedResource {
    unsigned id;
    const wchar_t* type;  // "PNG", "HTML", "ICON"
    const unsigned char* begin;
    const unsigned char* end;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;

}  // namespace win
