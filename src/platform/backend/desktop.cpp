#include <cstdio>
#include <cstdlib>

#include "platform/backend/backend.h"
#include "platform/win/api.h"

namespace win {
namespace {
Backend* g_desktop = nullptr;
}

Backend& Desktop() {
    if (!g_desktop) {
        std::fputs("nebrisk: no desktop backend was set\n", stderr);
        std::abort();
    }
    return *g_desktop;
}

void SetDesktop(Backend* backend) {
    g_desktop = backend;
}

}  // namespace win
