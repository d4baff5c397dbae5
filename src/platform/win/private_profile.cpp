#include "platform/win/private_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>

#include "platform/win/text_encoding.h"

namespace win {
namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Simple one-to-one lower-casing for the scripts config names plausibly use. Kept as a table of
// ranges rather than towlower() so the answer doesn't depend on the process locale.
char32_t FoldCase(char32_t c) {
    if (c < 0x80) {
        return (c >= U'A' && c <= U'Z') ? c + 0x20 : c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) ||  // Latin-1 letters (not the multiplication sign)
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||  // Greek capitals (0x3A2 is unassigned)
        (c >= 0x410 && c <= 0x42F) ||                // Cyrillic basic capitals
        (c >= 0xFF21 && c <= 0xFF3A)) {              // fullwidth Latin capitals
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;  // Cyrillic capitals with diacritics (Ё, Ђ, ...)
    }
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A mostly pairs capital/small as even/odd, with the parity flipping in
        // two runs and a few caseless or special letters.
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) {
            return c;
        }
        if (c == 0x178) {
            return 0xFF;  // Ÿ
        }
        const bool oddIsCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool isOdd = (c & 1) != 0;
        return isOdd == oddIsCapital ? c + 1 : c;
    }
    return c;
}

bool EqualsFolded(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(static_cast<char32_t>(a[i])) != FoldCase(static_cast<char32_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::wstring_view Unquote(std::wstring_view v) {
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// Decodes the file one line at a time so only the current line is ever held as wide text.
class LineReader {
  public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {
        if (bytes_.starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;
        } else if (bytes_.starts_with("\xFF\xFE")) {
            pos_ = 2;
            utf16_ = true;
        } else if (bytes_.starts_with("\xFE\xFF")) {
            pos_ = 2;
            utf16_ = true;
            bigEndian_ = true;
        }
    }

    bool Next(std::wstring& line) {
        if (pos_ >= bytes_.size()) {
            return false;
        }
        line.clear();
        bool cut = false;
        while (pos_ < bytes_.size()) {
            const char32_t c = Decode();
            if (c == U'\n') {
                break;
            }
            if (c == U'\r') {
                const std::size_t save = pos_;
                if (pos_ < bytes_.size() && Decode() != U'\n') {
                    pos_ = save;
                }
                break;
            }
            if (c == 0) {
                cut = true;
            }
            if (!cut) {
                line.push_back(static_cast<wchar_t>(c));
            }
        }
        return true;
    }

  private:
    char32_t Decode() {
        return utf16_ ? DecodeUtf16At(bytes_, pos_, bigEndian_) : DecodeUtf8At(bytes_, pos_);
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool utf16_ = false;
    bool bigEndian_ = false;
};

// Whole-file read of a regular file, capped at kMaxProfileFileBytes. nullopt for anything that
// can't be read completely. O_NONBLOCK keeps a FIFO at that path from hanging the open.
std::optional<std::string> ReadProfileFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> result;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<unsigned long long>(st.st_size) <= kMaxProfileFileBytes) {
        std::string data;
        data.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        bool ok = true;
        // Keep reading past st_size: some files (e.g. under /proc) report 0 but have content.
        for (;;) {
            if (got == data.size()) {
                if (data.size() > kMaxProfileFileBytes) {
                    ok = false;
                    break;
                }
                // A small probe past the reported size usually just confirms EOF; only files
                // that keep going grow geometrically.
                const std::size_t grow = got <= static_cast<std::size_t>(st.st_size) ? 4096 : got;
                data.resize(std::min(kMaxProfileFileBytes + 1, got + grow));
            }
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                ok = false;
                break;
            }
            if (n == 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (ok && got <= kMaxProfileFileBytes) {
            data.resize(got);
            result = std::move(data);
        }
    }
    ::close(fd);
    return result;
}

}  // namespace

std::optional<std::wstring> FindProfileValue(std::string_view fileBytes, std::wstring_view section,
                                             std::wstring_view key) {
    LineReader reader(fileBytes);
    std::wstring line;
    bool inSection = false;
    while (reader.Next(line)) {
        std::wstring_view text = Trim(line);
        if (text.empty() || text.front() == L';') {
            continue;
        }
        if (text.front() == L'[') {
            const std::size_t close = text.find(L']');
            if (close == std::wstring_view::npos) {
                continue;
            }
            if (inSection) {
                return std::nullopt;  // the first matching section ended without the key
            }
            inSection = EqualsFolded(Trim(text.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) {
            continue;
        }
        const std::size_t eq = text.find(L'=');
        if (eq == std::wstring_view::npos) {
            continue;
        }
        if (EqualsFolded(Trim(text.substr(0, eq)), key)) {
            return std::wstring(Unquote(Trim(text.substr(eq + 1))));
        }
    }
    return std::nullopt;
}

}  // namespace win

uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* defaultValue, wchar_t* buffer, uint32_t size,
                                  const wchar_t* fileName) {
    if (size == 0 || buffer == nullptr) {
        return 0;
    }
    std::optional<std::wstring> value;
    if (section != nullptr && key != nullptr && fileName != nullptr && *fileName != L'\0') {
        if (auto bytes = win::ReadProfileFile(win::ToUtf8(fileName))) {
            value = win::FindProfileValue(*bytes, section, key);
        }
    }
    std::wstring_view out;
    if (value) {
        out = *value;
    } else if (defaultValue != nullptr) {
        out = defaultValue;
        while (!out.empty() && (out.back() == L' ' || out.back() == L'\t')) {
            out.remove_suffix(1);
        }
    }
    const std::size_t n = std::min<std::size_t>(out.size(), size - 1);
    // memmove semantics: a caller may pass a default that lives inside its own buffer.
    std::wmemmove(buffer, out.data(), n);
    buffer[n] = L'\0';
    return static_cast<uint32_t>(n);
}
