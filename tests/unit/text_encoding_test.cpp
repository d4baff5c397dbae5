#include "platform/win/text_encoding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

constexpr wchar_t kFffd = 0xFFFD;

TEST(TextEncoding, Utf8RoundTripsAllPlanes) {
    // ASCII, Latin-1, CJK, and astral characters (emoji, CJK Extension B), plus the plane edges.
    const std::wstring text = L"Az\u00e9\u4e2d\u6587\U0001F600\U00020000\uFFFF\U0010FFFF";
    const std::string utf8 =
        "Az\xC3\xA9\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80\xF0\xA0\x80\x80\xEF\xBF\xBF"
        "\xF4\x8F\xBF\xBF";
    EXPECT_EQ(win::ToUtf8(text), utf8);
    EXPECT_EQ(win::FromUtf8(utf8), text);
    EXPECT_EQ(win::FromUtf8(win::ToUtf8(L"")), L"");
}

TEST(TextEncoding, ResultDoesNotDependOnLocale) {
    // mbstowcs would fail on non-ASCII under the C locale; the converters must not care.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(win::FromUtf8("\xE4\xB8\xAD"), L"\u4e2d");
    EXPECT_EQ(win::ToUtf8(L"\u4e2d"), "\xE4\xB8\xAD");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextEncoding, InvalidUtf8BecomesReplacementPerMaximalSubpart) {
    struct Case {
        const char* name;
        std::string in;
        std::wstring out;
    };
    const std::wstring r(1, kFffd);
    const Case cases[] = {
        {"lone continuation", "a\x80z", L"a" + r + L"z"},
        {"invalid leads C0/C1/F5/FF", "\xC0\xC1\xF5\xFF", std::wstring(4, kFffd)},
        {"overlong 2-byte slash", "\xC0\xAF", std::wstring(2, kFffd)},
        {"overlong 3-byte", "\xE0\x80\xAF", std::wstring(3, kFffd)},
        {"encoded surrogate", "\xED\xA0\x80", std::wstring(3, kFffd)},
        {"above U+10FFFF", "\xF4\x90\x80\x80", std::wstring(4, kFffd)},
        {"truncated at end", "x\xE4\xB8", L"x" + r},
        {"truncated before ASCII",
         "\xE4\xB8"
         "A",
         r + L"A"},
        {"truncated 4-byte then valid", "\xF0\x9F\x98\xE4\xB8\xAD", r + L"\u4e2d"},
        {"embedded NUL kept", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win::FromUtf8(c.in), c.out) << c.name;
    }
}

TEST(TextEncoding, ToUtf8ReplacesNonScalarWideChars) {
    std::wstring in = L"a";
    in.push_back(static_cast<wchar_t>(0xD800));  // lone high surrogate
    in.push_back(static_cast<wchar_t>(0xDFFF));  // lone low surrogate
    in.push_back(static_cast<wchar_t>(0x110000));
    in.push_back(static_cast<wchar_t>(-1));
    in.push_back(L'b');
    EXPECT_EQ(win::ToUtf8(in),
              "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
}

TEST(TextEncoding, Utf16BothByteOrdersWithSurrogatePairs) {
    // "中" U+4E2D, U+1F600 as D83D DE00.
    const std::string le(
        "\x2D\x4E\x3D\xD8\x00\xDE"
        "A\0",
        8);
    const std::string be("\x4E\x2D\xD8\x3D\xDE\x00\0A", 8);
    const std::wstring expected = L"\u4e2d\U0001F600A";
    EXPECT_EQ(win::FromUtf16(le, false), expected);
    EXPECT_EQ(win::FromUtf16(be, true), expected);
    EXPECT_EQ(win::FromUtf16(std::u16string_view(u"\u4e2d\U0001F600A")), expected);
}

TEST(TextEncoding, BadUtf16BecomesReplacement) {
    struct Case {
        const char* name;
        std::u16string in;
        std::wstring out;
    };
    const std::wstring r(1, kFffd);
    const Case cases[] = {
        {"lone high at end", u"a\xD83D", L"a" + r},
        {"lone low", u"\xDE00z", r + L"z"},
        {"high then non-low keeps the next char", u"\xD83Dz", r + L"z"},
        {"two highs then low", u"\xD83D\xD83D\xDE00", r + L"\U0001F600"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win::FromUtf16(std::u16string_view(c.in)), c.out) << c.name;
        // Same through the byte decoder.
        std::string bytes;
        for (char16_t u : c.in) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        EXPECT_EQ(win::FromUtf16(bytes, false), c.out) << c.name << " (bytes)";
    }
    EXPECT_EQ(win::FromUtf16(std::string("A\0B", 3), false), L"A" + r) << "odd trailing byte";
}

}  // namespace
