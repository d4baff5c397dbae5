// Reading one value from config.ini beside the executable, as every launcher button click does,
// against just opening and reading the same file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/config.h"
#include "platform/win/resources.h"
#include "platform/win/text_encoding.h"

namespace {

// The packaged file's comments, every key set, and a section of another program in front.
constexpr char kConfig[] =
    "; Nebrisk client configuration, read by the client at the moment of use (never written).\n"
    "; The client reads config.ini beside its executable; in this installation that file is a\n"
    "; link to this one. Remove the ';' in front of a line to set a value.\n"
    "[updater]\n"
    "channel=stable\n"
    "last_check=2024-05-01T10:00:00Z\n"
    "\n"
    "[tova]\n"
    "; The launcher page, shown 712 x 400 pixels in the launcher.\n"
    "client_web=http://launcher.nebrisk.com/embed/3426/?lang=zh-CN&from=client\n"
    "; Addresses the four launcher buttons open in the default browser.\n"
    "recharge_url=http://pay.nebrisk.com/3372.htm\n"
    "service_url=http://help.nebrisk.com/faq/\n"
    "forum_url=http://bbs.nebrisk.com/forum-870-1.html\n"
    "home_url=http://www.nebrisk.com/\n";

class ConfigDir {
  public:
    ConfigDir() {
        char templ[] = "/tmp/nebrisk-config-bench-XXXXXX";
        if (mkdtemp(templ)) dir_ = templ;
        std::ofstream(dir_ + "/config.ini") << kConfig;
        win::SetModulePathForTesting(win::FromUtf8(dir_ + "/nebrisk"));
    }
    ~ConfigDir() {
        win::SetModulePathForTesting(L"");
        std::remove((dir_ + "/config.ini").c_str());
        rmdir(dir_.c_str());
    }
    std::string File() const { return dir_ + "/config.ini"; }

  private:
    std::string dir_;
};

void BM_ReadConfigValue(benchmark::State& state) {
    ConfigDir dir;
    if (ReadConfigValue(L"home_url") != L"http://www.nebrisk.com/") {
        state.SkipWithError("home_url not read from the test file");
        return;
    }
    for (auto _ : state) {
        CString value = ReadConfigValue(L"home_url");
        benchmark::DoNotOptimize(value.data());
    }
}
BENCHMARK(BM_ReadConfigValue)->Unit(benchmark::kMicrosecond);

void BM_ReadWholeFile(benchmark::State& state) {
    ConfigDir dir;
    const std::string file = dir.File();
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str();
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_ReadWholeFile)->Unit(benchmark::kMicrosecond);

}  // namespace
