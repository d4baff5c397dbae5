// One composition of the launcher frame (background drawn into a fresh surface and pushed as
// the layered picture) against a memcpy of the same 1434 x 804 x 4 bytes, its floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "launcher/vel_translucent_dlg.h"
#include "platform/backend/headless/headless_desktop.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/window.h"

namespace {

constexpr UINT kLauncherBackground = 158;
constexpr std::size_t kFrameBytes = std::size_t{1434} * 804 * 4;

void BM_ComposeLauncherFrame(benchmark::State& state) {
    headless::HeadlessDesktop desktop;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    {
        CVelTranslucentDlg frame(kLauncherBackground, L"PNG", nullptr, nullptr);
        if (!frame.CreateModalWindow() || !frame.m_pBackground ||
            frame.m_pBackground->GetWidth() != 1434 || frame.m_pBackground->GetHeight() != 804) {
            state.SkipWithError("launcher frame not created at 1434 x 804");
        } else {
            const headless::NativeWindow* native = desktop.Native(frame.m_hWnd);
            const int before = native->pictureCount;
            for (auto _ : state) {
                frame.ComposeAndPush();
                benchmark::DoNotOptimize(native->picture.pixels.data());
            }
            if (native->pictureCount - before != static_cast<int>(state.iterations()))
                state.SkipWithError("not every composition reached the window");
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
        }
        for (HWND h : win::AllWindows()) DestroyWindow(h);
    }
    Gdiplus::GdiplusShutdown(token);
}
BENCHMARK(BM_ComposeLauncherFrame)->Unit(benchmark::kMillisecond);

void BM_MemcpyFrameSize(benchmark::State& state) {
    std::vector<unsigned char> src(kFrameBytes, 0x5A), dst(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kFrameBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_MemcpyFrameSize)->Unit(benchmark::kMillisecond);

}  // namespace
