#include "platform/win/private_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/win/text_encoding.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

struct LookupCase {
    const char* name;
    std::string file;
    std::wstring section;
    std::wstring key;
    std::optional<std::wstring> expected;
};

TEST(PrivateProfileParse, SyntaxTable) {
    const std::string basic = "[Game]\nserver=eu1\nerror=error\nempty=\n";
    const LookupCase cases[] = {
        {"plain value", basic, L"Game", L"server", L"eu1"},
        {"missing section", basic, L"Other", L"server", std::nullopt},
        {"missing key", basic, L"Game", L"port", std::nullopt},
        {"empty value is found", basic, L"Game", L"empty", L""},
        {"'error' passes through", basic, L"Game", L"error", L"error"},
        {"case-blind names", basic, L"gAME", L"SERVER", L"eu1"},
        {"caller names not trimmed", basic, L" Game", L"server", std::nullopt},
        {"blanks trimmed", "  [ \tGame  ]  \n \t server \t=  eu 1 \t\n", L"Game", L"server",
         L"eu 1"},
        {"double quotes removed", "[s]\nk=  \" a b \"  \n", L"s", L"k", L" a b "},
        {"single quotes removed", "[s]\nk='x'\n", L"s", L"k", L"x"},
        {"only one pair removed", "[s]\nk=\"'x'\"\n", L"s", L"k", L"'x'"},
        {"empty quotes", "[s]\nk=\"\"\n", L"s", L"k", L""},
        {"mismatched quotes kept", "[s]\nk=\"x'\n", L"s", L"k", L"\"x'"},
        {"lone quote kept", "[s]\nk=\"\n", L"s", L"k", L"\""},
        {"inner quotes kept", "[s]\nk=a \"b\" c\n", L"s", L"k", L"a \"b\" c"},
        {"semicolon line is comment", "[s]\n  ;k=1\nk=2\n", L"s", L"k", L"2"},
        {"commented section header", ";[s]\nk=1\n[s]\nk=2\n", L"s", L"k", L"2"},
        {"inline semicolon is value", "[s]\nk=1 ; note\n", L"s", L"k", L"1 ; note"},
        {"hash is not a comment", "[s]\n#k=1\n", L"s", L"#k", L"1"},
        {"hash line does not hide key", "[s]\n# k=1\nk=2\n", L"s", L"k", L"2"},
        {"value keeps later equals", "[s]\nk=a=b\n", L"s", L"k", L"a=b"},
        {"first repeated key wins", "[s]\nk=1\nK=2\n", L"s", L"k", L"1"},
        {"first section wins", "[s]\nk=1\n[s]\nk=2\n", L"s", L"k", L"1"},
        {"repeated section not searched", "[s]\na=1\n[t]\n[S]\nk=2\n", L"s", L"k", std::nullopt},
        {"key of next section not leaked", "[s]\na=1\n[t]\nk=2\n", L"s", L"k", std::nullopt},
        {"line without equals ignored", "[s]\nk\nk = v\n", L"s", L"k", L"v"},
        {"lines before a section ignored", "k=0\n[s]\nk=1\n", L"s", L"k", L"1"},
        {"nothing before a section found", "k=0\n", L"", L"k", std::nullopt},
        {"text after header ignored", "[s] ; main\nk=1\n", L"s", L"k", L"1"},
        {"unclosed header ignored", "[s]\n[broken\nk=1\n", L"s", L"k", L"1"},
        {"empty section name", "[]\nk=1\n", L"", L"k", L"1"},
        {"CRLF", "[s]\r\nk=v\r\nj=w\r\n", L"s", L"j", L"w"},
        {"lone CR", "[s]\rk=v\rj=w", L"s", L"j", L"w"},
        {"mixed endings, no final newline", "[s]\r\n\rk=v\n\r\nj=w", L"s", L"j", L"w"},
        {"NUL ends line content", "[s]\nk=ab\0cd\nj=1\n"s, L"s", L"k", L"ab"},
        {"NUL line does not hide next", "[s]\n\0k=1\nk=2\n"s, L"s", L"k", L"2"},
        {"non-ASCII names fold", "[Straße]\n\xC3\x84RGER=1\n", L"STRAßE", L"\u00e4rger", L"1"},
        {"Cyrillic names fold", "[\xD0\x9C\xD0\x98\xD0\xA0]\nk=1\n", L"\u043c\u0438\u0440", L"K",
         L"1"},
        {"invalid UTF-8 in value",
         "[s]\nk=a\xFF"
         "b\n",
         L"s", L"k", L"a\uFFFDb"},
        {"UTF-8 BOM", "\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\xE6\x96\x87\n", L"s", L"k", L"\u4e2d\u6587"},
        {"no BOM UTF-8", "[\xE9\x85\x8D\xE7\xBD\xAE]\nk=1\n", L"\u914d\u7f6e", L"k", L"1"},
        {"empty file", "", L"s", L"k", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win::FindProfileValue(c.file, c.section, c.key), c.expected) << c.name;
    }
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
    return out;
}

TEST(PrivateProfileParse, Utf16WithBomBothByteOrders) {
    // Chinese section, key and value, an astral character, CRLF endings.
    const std::u16string text =
        u"[\u670d\u52a1\u5668]\r\n\u540d\u79f0 = \u4e2d\u6587\U0001F600\r\nport=1\r\n";
    for (bool be : {false, true}) {
        const std::string bytes = Utf16Bytes(text, be);
        EXPECT_EQ(win::FindProfileValue(bytes, L"\u670d\u52a1\u5668", L"\u540d\u79f0"),
                  L"\u4e2d\u6587\U0001F600")
            << (be ? "BE" : "LE");
        EXPECT_EQ(win::FindProfileValue(bytes, L"\u670d\u52a1\u5668", L"PORT"), L"1");
    }
    // An odd trailing byte and an unpaired surrogate degrade to U+FFFD without losing the rest.
    std::string bad = Utf16Bytes(
                          u"[s]\nk=a\xD800"
                          u"b\nj=2\n",
                          false) +
                      "\x41";
    EXPECT_EQ(win::FindProfileValue(bad, L"s", L"k"), L"a\uFFFDb");
    EXPECT_EQ(win::FindProfileValue(bad, L"s", L"j"), L"2");
}

TEST(PrivateProfileParse, BinaryGarbageNeverYieldsLineBreaksOrNul) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    const char* const prefixes[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF", "[s]\n"};
    for (int round = 0; round < 400; ++round) {
        std::string data = prefixes[round % 5];
        for (int i = 0; i < 512; ++i) {
            // Bias towards the syntax characters so sections and keys actually occur.
            const int b = byte(rng);
            data.push_back(b < 40 ? "[]=\n\r;\"' s k"[b % 13] : static_cast<char>(b));
        }
        for (const wchar_t* key : {L"k", L" k", L""}) {
            const auto value = win::FindProfileValue(data, L"s", key);
            if (value) {
                EXPECT_EQ(value->find_first_of(std::wstring(L"\n\r\0", 3)), std::wstring::npos)
                    << "round " << round;
            }
        }
    }
}

class PrivateProfileFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "profile-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::wstring Write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return win::FromUtf8(path.string());
    }
    std::wstring PathOf(const std::string& name) { return win::FromUtf8((dir_ / name).string()); }

    struct Result {
        uint32_t count;
        std::wstring text;
    };
    static Result Get(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                      const wchar_t* def, uint32_t size = 256) {
        std::vector<wchar_t> buf(size + 1, L'#');
        const uint32_t n =
            GetPrivateProfileStringW(section, key, def, buf.data(), size, file.c_str());
        EXPECT_EQ(buf[size], L'#') << "wrote past size";
        if (size == 0) {
            return {n, L""};
        }
        EXPECT_EQ(std::wstring(buf.data()).size(), n) << "count must match the terminated string";
        return {n, buf.data()};
    }

    fs::path dir_;
};

TEST_F(PrivateProfileFile, ValueOrDefault) {
    const std::wstring ini = Write("c.ini", "[Game]\nserver=eu1\nempty=\nerror=error\n");
    struct Case {
        const char* name;
        std::wstring file;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* def;
        std::wstring expected;
    };
    fs::create_directory(dir_ / "sub.ini");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.ini").c_str(), 0600), 0);  // must not block the open
    const Case cases[] = {
        {"found", ini, L"game", L"Server", L"dflt", L"eu1"},
        {"empty value beats default", ini, L"Game", L"empty", L"dflt", L""},
        {"error value", ini, L"Game", L"error", L"x", L"error"},
        {"no key", ini, L"Game", L"port", L"dflt", L"dflt"},
        {"no section", ini, L"Net", L"server", L"dflt", L"dflt"},
        {"missing file", PathOf("nope.ini"), L"Game", L"server", L"dflt", L"dflt"},
        {"directory as file", PathOf("sub.ini"), L"Game", L"server", L"dflt", L"dflt"},
        {"FIFO as file", PathOf("pipe.ini"), L"Game", L"server", L"dflt", L"dflt"},
        {"empty path", L"", L"Game", L"server", L"dflt", L"dflt"},
        {"null default", ini, L"Game", L"port", nullptr, L""},
        {"default trailing blanks dropped", ini, L"Game", L"port", L" d \t ", L" d"},
        {"null section", ini, nullptr, L"server", L"dflt", L"dflt"},
        {"null key", ini, L"Game", nullptr, L"dflt", L"dflt"},
    };
    for (const auto& c : cases) {
        const Result r = Get(c.file, c.section, c.key, c.def);
        EXPECT_EQ(r.text, c.expected) << c.name;
        EXPECT_EQ(r.count, c.expected.size()) << c.name;
    }
}

TEST_F(PrivateProfileFile, TruncatesToBufferAndAlwaysTerminates) {
    const std::wstring v511(511, L'a'), v512(512, L'b');
    const std::wstring ini =
        Write("t.ini", "[s]\nv511=" + win::ToUtf8(v511) + "\nv512=" + win::ToUtf8(v512) + "\n");
    struct Case {
        const char* name;
        const wchar_t* key;
        const wchar_t* def;
        uint32_t size;
        std::wstring expected;
    };
    const Case cases[] = {
        {"511 fits in 512", L"v511", L"", 512, v511},
        {"512 cut to 511", L"v512", L"", 512, v512.substr(0, 511)},
        {"511 cut to 510", L"v511", L"", 511, v511.substr(0, 510)},
        {"size 1 gives empty", L"v511", L"", 1, L""},
        {"default truncated too", L"none", L"defaultvalue", 4, L"def"},
        {"default fits exactly", L"none", L"abc", 4, L"abc"},
    };
    for (const auto& c : cases) {
        const Result r = Get(ini, L"s", c.key, c.def, c.size);
        EXPECT_EQ(r.text, c.expected) << c.name;
        EXPECT_EQ(r.count, c.expected.size()) << c.name;
    }

    // size 0 returns 0 and leaves the buffer alone.
    wchar_t untouched[2] = {L'x', L'y'};
    EXPECT_EQ(GetPrivateProfileStringW(L"s", L"v511", L"d", untouched, 0, ini.c_str()), 0u);
    EXPECT_EQ(untouched[0], L'x');
    EXPECT_EQ(GetPrivateProfileStringW(L"s", L"v511", L"d", nullptr, 16, ini.c_str()), 0u);
}

TEST_F(PrivateProfileFile, HugeLineAndOversizedFile) {
    // A 10 MB value is read whole and then cut by the caller's buffer; the next key still works.
    std::string big = "[s]\nbig=";
    big.append(10 << 20, 'z');
    big += "\r\nafter=ok\r\n";
    const std::wstring ini = Write("big.ini", big);
    EXPECT_EQ(Get(ini, L"s", L"big", L"d", 8).text, L"zzzzzzz");
    EXPECT_EQ(Get(ini, L"s", L"after", L"d").text, L"ok");

    // Over the cap the file counts as unreadable, even though the key is right at the start.
    // A sparse file keeps this cheap on disk.
    const std::wstring huge = Write("huge.ini", "[s]\nk=v\n");
    fs::resize_file(dir_ / "huge.ini", win::kMaxProfileFileBytes + 1);
    EXPECT_EQ(Get(huge, L"s", L"k", L"dflt").text, L"dflt");
    fs::resize_file(dir_ / "huge.ini", win::kMaxProfileFileBytes);
    EXPECT_EQ(Get(huge, L"s", L"k", L"dflt").text, L"v");
}

TEST_F(PrivateProfileFile, EncodingsAndNonAsciiPath) {
    const std::wstring le = Write("\xE9\x85\x8D\xE7\xBD\xAE-le.ini",  // 配置-le.ini
                                  Utf16Bytes(u"[\u8bbe\u7f6e]\r\nname=\u4e2d\u6587\r\n", false));
    EXPECT_EQ(le.substr(le.size() - 9), L"\u914d\u7f6e-le.ini");
    EXPECT_EQ(Get(le, L"\u8bbe\u7f6e", L"NAME", L"d").text, L"\u4e2d\u6587");

    const std::wstring be =
        Write("be.ini", Utf16Bytes(u"[\u8bbe\u7f6e]\nname=\u4e2d\u6587\n", true));
    EXPECT_EQ(Get(be, L"\u8bbe\u7f6e", L"name", L"d").text, L"\u4e2d\u6587");

    const std::wstring bom = Write("bom.ini", "\xEF\xBB\xBF[s]\r\nk=\xE4\xB8\xAD\r\n");
    EXPECT_EQ(Get(bom, L"s", L"k", L"d").text, L"\u4e2d");

    std::string garbage;
    std::mt19937 rng(7);
    for (int i = 0; i < 4096; ++i) {
        garbage.push_back(static_cast<char>(rng()));
    }
    const std::wstring bin = Write("bin.ini", garbage);
    EXPECT_EQ(Get(bin, L"s", L"k", L"dflt").text, L"dflt");
}

TEST_F(PrivateProfileFile, UnreadableFileGivesDefault) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads mode-000 files anyway";
    }
    const std::wstring ini = Write("locked.ini", "[s]\nk=v\n");
    fs::permissions(dir_ / "locked.ini", fs::perms::none);
    EXPECT_EQ(Get(ini, L"s", L"k", L"dflt").text, L"dflt");
}

}  // namespace
