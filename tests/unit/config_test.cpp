// config.ini beside the executable: where it is looked for, what a read gives back, and the
// built-in defaults that replace the "missing" sentinel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "app/config.h"
#include "app_fixture.h"

namespace {

const wchar_t* const kKeys[] = {L"client_web", L"home_url", L"recharge_url", L"service_url",
                                L"forum_url"};

class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = testing_support::MakeModuleDir();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { testing_support::RemoveModuleDir(dir_); }
    std::string File() const { return dir_ + "/config.ini"; }
    void Write(const std::string& text) { testing_support::WriteFile(File(), text); }
    std::string dir_;
};

TEST_F(ConfigTest, ModuleDirectoryIsExecutablesDirectoryWithSeparator) {
    EXPECT_EQ(GetModuleDirectory(), std::wstring(dir_.begin(), dir_.end()) + L"/");

    // Without an override: the directory of the test executable itself.
    win::SetModulePathForTesting(L"");
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    std::string path(exe, static_cast<std::size_t>(n));
    std::string expected = path.substr(0, path.rfind('/') + 1);
    CString dir = GetModuleDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), L'/');
    EXPECT_EQ(dir, std::wstring(expected.begin(), expected.end()));
}

TEST_F(ConfigTest, DefaultsArePlainHttpOnFiveHostsWithTheirPaths) {
    const wchar_t* const paths[] = {L"/embed/3426/", L"/", L"/3372.htm", L"/faq/",
                                    L"/forum-870-1.html"};
    std::set<std::wstring> hosts;
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(kKeys[i])));
        // No file at all: the sentinel, then the default.
        EXPECT_EQ(ReadConfigValue(kKeys[i]), L"error");
        CString value = ReadConfigValueOrDefault(kKeys[i]);
        EXPECT_EQ(value, BuiltInDefault(kKeys[i]));
        const std::wstring scheme = L"http://";
        ASSERT_EQ(value.compare(0, scheme.size(), scheme), 0) << "not plain http";
        auto slash = value.find(L'/', scheme.size());
        ASSERT_NE(slash, std::wstring::npos);
        std::wstring host = value.substr(scheme.size(), slash - scheme.size());
        EXPECT_FALSE(host.empty());
        hosts.insert(host);
        EXPECT_EQ(value.substr(slash), paths[i]);
    }
    EXPECT_EQ(hosts.size(), 5u) << "each default has its own host";
    EXPECT_EQ(BuiltInDefault(L"no_such_key"), L"");
}

TEST_F(ConfigTest, ReadsFileContentAsTheCallerSeesIt) {
    const std::string longValue(600, 'x');
    struct Case {
        const char* name;
        std::string file;
        const wchar_t* key;
        std::wstring raw;       // what ReadConfigValue gives
        std::wstring resolved;  // after the caller's default rule
    };
    const Case cases[] = {
        {"no section", "[other]\nclient_web=http://x/\n", L"client_web", L"error",
         BuiltInDefault(L"client_web")},
        {"key missing", "[tova]\nhome_url=http://h/\n", L"forum_url", L"error",
         BuiltInDefault(L"forum_url")},
        {"empty value stays empty", "[tova]\nhome_url=\n", L"home_url", L"", L""},
        {"sentinel value means absent", "[tova]\nservice_url=error\n", L"service_url", L"error",
         BuiltInDefault(L"service_url")},
        {"sentinel in capitals is a value", "[tova]\nservice_url=ERROR\n", L"service_url", L"ERROR",
         L"ERROR"},
        {"case-blind names", "[TOVA]\nRECHARGE_URL=http://pay.test/x\n", L"recharge_url",
         L"http://pay.test/x", L"http://pay.test/x"},
        {"long value truncated", "[tova]\nclient_web=" + longValue + "\n", L"client_web",
         std::wstring(511, L'x'), std::wstring(511, L'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.file);
        EXPECT_EQ(ReadConfigValue(c.key), c.raw);
        EXPECT_EQ(ReadConfigValueOrDefault(c.key), c.resolved);
    }
}

TEST_F(ConfigTest, EveryReadSeesTheFileAsItIsNow) {
    Write("[tova]\nhome_url=http://one/\n");
    EXPECT_EQ(ReadConfigValueOrDefault(L"home_url"), L"http://one/");
    Write("[tova]\nhome_url=http://two/\n");
    EXPECT_EQ(ReadConfigValueOrDefault(L"home_url"), L"http://two/");
    std::remove(File().c_str());
    EXPECT_EQ(ReadConfigValueOrDefault(L"home_url"), BuiltInDefault(L"home_url"));
}

}  // namespace
