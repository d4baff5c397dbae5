#pragma once
// The whole application on a headless desktop: a fresh desktop and application per test, an
// empty directory of its own as the executable's directory (so config.ini is only what the
// test writes), and a clean window system afterwards.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/translucent_app.h"
#include "game/vel_game_dlg.h"
#include "launcher/vel_standard_dlg.h"
#include "launcher/vel_translucent_dlg.h"
#include "platform/afx/cwinapp.h"
#include "platform/backend/headless/headless_desktop.h"
#include "platform/gdiplus/png_decoder.h"
#include "platform/win/resources.h"
#include "platform/win/window.h"
#include "platform/win/windows.h"
#include "test_fixture.h"

namespace testing_support {

// Makes an empty temporary directory and sets it as the executable's directory; its path, or
// "" when it could not be made.
inline std::string MakeModuleDir() {
    char pattern[] = "/tmp/nebrisk-test-XXXXXX";
    if (!mkdtemp(pattern))
        return "";
    std::string dir = pattern;
    win::SetModulePathForTesting(std::wstring(dir.begin(), dir.end()) + L"/nebrisk");
    return dir;
}

// Undoes MakeModuleDir, with the config.ini a test may have left there.
inline void RemoveModuleDir(const std::string& dir) {
    win::SetModulePathForTesting(L"");
    if (dir.empty())
        return;
    std::remove((dir + "/config.ini").c_str());
    rmdir(dir.c_str());
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The pixels of a PNG resource of the application; empty when there is none.
inline gdiplus::PixelImage DecodePngResource(UINT id) {
    gdiplus::PixelImage image;
    HMODULE module = AfxGetResourceHandle();
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res)
        return image;
    HGLOBAL loaded = LoadResource(module, res);
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
    if (bytes)
        gdiplus::DecodePng(bytes, SizeofResource(module, res), image);
    FreeResource(loaded);
    return image;
}

// ARGB pixels (straight alpha), row by row, to PNG bytes.
inline std::vector<std::uint8_t> EncodePng(int w, int h, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t p : argb) {
        rgba.push_back(static_cast<std::uint8_t>(p >> 16));
        rgba.push_back(static_cast<std::uint8_t>(p >> 8));
        rgba.push_back(static_cast<std::uint8_t>(p));
        rgba.push_back(static_cast<std::uint8_t>(p >> 24));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<std::uint8_t> out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
    out.resize(size);
    return out;
}

inline std::vector<std::uint8_t> SolidPng(int w, int h, std::uint32_t argb) {
    return EncodePng(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, argb));
}

// Also keeps every rectangle a window is given, in order, and logs the moment a window is
// parked as minimised ("minimised <name>").
class PlacementDesktop : public headless::HeadlessDesktop {
  public:
    void Sync(HWND hwnd, unsigned flags) override {
        RECT r{};
        if ((flags & win::kSyncGeometry) && GetWindowRect(hwnd, &r))
            geometry.emplace_back(hwnd, r);
        if ((flags & win::kSyncGeometry) && IsIconic(hwnd))
            log.push_back("minimised " + Name(hwnd));
        HeadlessDesktop::Sync(hwnd, flags);
    }
    std::vector<std::pair<HWND, RECT>> geometry;
};

template <class Desktop = headless::HeadlessDesktop, class App = CTranslucentApp>
class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        win::ResetMessageQueue();
        dir_ = MakeModuleDir();
        ASSERT_FALSE(dir_.empty());
    }

    void TearDown() override {
        CleanWindowSystem();
        RemoveModuleDir(dir_);
    }

    void WriteConfig(const std::string& text) { WriteFile(dir_ + "/config.ini", text); }

    // The launcher's frame, its overlay and the overlay's controls; the game window.
    CVelTranslucentDlg* Frame() { return dynamic_cast<CVelTranslucentDlg*>(app.m_pMainWnd); }
    CVelStandardDlg* Overlay() { return static_cast<CVelStandardDlg*>(Frame()->m_pOverlay); }
    HWND Control(int id) { return GetDlgItem(Overlay()->m_hWnd, id); }
    CVelGameDlg* Game() { return dynamic_cast<CVelGameDlg*>(app.m_pMainWnd); }

    // Runs the scripted steps, then ends the run; every step must have run.
    void Run() {
        RunThen([] { PostQuitMessage(0); });
    }
    // Runs the scripted steps, then closes the launcher, which ends the application.
    void RunThenClose() {
        RunThen([this] { d.CloseFromWindowManager(Frame()->m_hWnd); });
        EXPECT_TRUE(win::AllWindows().empty());
    }

    Desktop d;
    App app;
    std::string dir_;

  private:
    void RunThen(std::function<void()> last) {
        d.Then(std::move(last));
        AfxWinMain();
        EXPECT_FALSE(d.stalled);
        EXPECT_EQ(d.PendingSteps(), 0u);
    }
};

}  // namespace testing_support
