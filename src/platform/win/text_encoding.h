#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Conversions between the wide strings of the Windows-style API (on Linux a wchar_t holds one
// UTF-32 code unit) and the byte encodings found in files and paths.
//
// None of these consult the process locale, so the result is the same under any LANG/LC_ALL.
// Anything that is not a Unicode scalar value becomes U+FFFD: malformed UTF-8 (one U+FFFD per
// maximal ill-formed subsequence, the way browsers count them), overlong forms, encoded
// surrogates, unpaired UTF-16 surrogates, and wide characters outside 0..0x10FFFF.
namespace win {

inline constexpr char32_t kReplacementChar = 0xFFFD;

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

// Native-order UTF-16 code units.
std::wstring FromUtf16(std::u16string_view units);
// Raw UTF-16 bytes in the given byte order (no BOM handling; a BOM decodes as U+FEFF). A dangling
// odd final byte becomes U+FFFD.
std::wstring FromUtf16(std::string_view bytes, bool bigEndian);

// Step decoders for walking a large buffer without converting it whole. Each decodes the code
// point starting at `pos` (which must be < bytes.size()), advances `pos` past it (always by at
// least one byte) and returns it, or U+FFFD for an ill-formed unit.
char32_t DecodeUtf8At(std::string_view bytes, std::size_t& pos);
char32_t DecodeUtf16At(std::string_view bytes, std::size_t& pos, bool bigEndian);

}  // namespace win
