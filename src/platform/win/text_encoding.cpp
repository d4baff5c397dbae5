#include "platform/win/text_encoding.h"

#include <cstdint>

namespace win {
namespace {

bool IsScalarValue(uint32_t cp) {
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (!IsScalarValue(cp)) {
        cp = kReplacementChar;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

uint16_t Utf16UnitAt(std::string_view bytes, std::size_t pos, bool bigEndian) {
    const auto b0 = static_cast<unsigned char>(bytes[pos]);
    const auto b1 = static_cast<unsigned char>(bytes[pos + 1]);
    return bigEndian ? static_cast<uint16_t>((b0 << 8) | b1)
                     : static_cast<uint16_t>((b1 << 8) | b0);
}

bool IsHighSurrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

char32_t CombineSurrogates(uint32_t high, uint32_t low) {
    return static_cast<char32_t>(0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
}

}  // namespace

char32_t DecodeUtf8At(std::string_view bytes, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(bytes[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    // The allowed range of the second byte depends on the lead; this is what rules out overlong
    // forms, encoded surrogates and values above U+10FFFF without decoding them first.
    int trail;
    unsigned char lo = 0x80, hi = 0xBF;
    uint32_t cp;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) {
            lo = 0xA0;
        } else if (lead == 0xED) {
            hi = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) {
            lo = 0x90;
        } else if (lead == 0xF4) {
            hi = 0x8F;
        }
    } else {
        return kReplacementChar;
    }
    for (int i = 0; i < trail; ++i) {
        if (pos >= bytes.size()) {
            return kReplacementChar;
        }
        const auto b = static_cast<unsigned char>(bytes[pos]);
        if (b < lo || b > hi) {
            // Leave the offending byte for the next call: it may start a valid sequence.
            return kReplacementChar;
        }
        cp = (cp << 6) | (b & 0x3F);
        ++pos;
        lo = 0x80;
        hi = 0xBF;
    }
    return static_cast<char32_t>(cp);
}

char32_t DecodeUtf16At(std::string_view bytes, std::size_t& pos, bool bigEndian) {
    if (bytes.size() - pos < 2) {
        pos = bytes.size();
        return kReplacementChar;
    }
    const uint16_t unit = Utf16UnitAt(bytes, pos, bigEndian);
    pos += 2;
    if (IsLowSurrogate(unit)) {
        return kReplacementChar;
    }
    if (!IsHighSurrogate(unit)) {
        return unit;
    }
    if (bytes.size() - pos < 2) {
        return kReplacementChar;
    }
    const uint16_t next = Utf16UnitAt(bytes, pos, bigEndian);
    if (!IsLowSurrogate(next)) {
        return kReplacementChar;  // the next unit is decoded on its own
    }
    pos += 2;
    return CombineSurrogates(unit, next);
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        AppendUtf8(out, static_cast<uint32_t>(c));
    }
    return out;
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        out.push_back(static_cast<wchar_t>(DecodeUtf8At(bytes, pos)));
    }
    return out;
}

std::wstring FromUtf16(std::u16string_view units) {
    std::wstring out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const uint16_t unit = units[i];
        if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            out.push_back(static_cast<wchar_t>(CombineSurrogates(unit, units[i + 1])));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out.push_back(static_cast<wchar_t>(kReplacementChar));
        } else {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
    return out;
}

std::wstring FromUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring out;
    out.reserve(bytes.size() / 2 + 1);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        out.push_back(static_cast<wchar_t>(DecodeUtf16At(bytes, pos, bigEndian)));
    }
    return out;
}

}  // namespace win
