#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reader for Windows-style private profile (INI) files.
//
// File syntax as read here:
// - Encoding: a UTF-8 BOM (EF BB BF) is skipped; a UTF-16 BOM (FF FE / FE FF) selects UTF-16 LE/BE.
//   Without a BOM the file is UTF-8 (Windows would use the ANSI code page; we have none).
//   Malformed sequences and unpaired surrogates read as U+FFFD, so garbage never aborts the read.
// - Lines end at "\n", "\r\n" or a lone "\r".
// - A NUL character ends the content of its line; the rest up to the next line break is ignored.
//   Values therefore never contain NUL and fit a C string.
// - Spaces and tabs around section names, key names and values are trimmed; blank lines skipped.
// - A line whose first non-blank character is ';' is a comment. '#' is an ordinary character, so
//   "#x=1" is key "#x". A ';' after a value is part of the value.
// - "[name]" opens a section; the name is the text between '[' and the first ']', and anything
//   after that ']' is ignored. A '[' line without ']' is malformed and ignored (the current
//   section continues).
// - Inside a section, "key=value" splits at the first '='; a line without '=' is ignored.
//   Lines before the first section are ignored.
// - One pair of matching quotes ("..." or '...') around the trimmed value is removed; blanks
//   inside the quotes are kept. "key=" gives an empty value, which is found (not the default).
// - Only the first section with a matching name is searched, as Windows does: keys in a later
//   repeat of that section are not seen. Within the section the first matching key wins.
// - Section and key names compare case-insensitively with a fixed, locale-free folding of ASCII,
//   Latin-1, Latin Extended-A, Greek and Cyrillic letters; other characters compare exactly.
//   The names passed by the caller are used as given (not trimmed).
namespace win {

// Files larger than this are treated as unreadable (the caller gets the default) so a stray huge
// file can't make a config lookup allocate without bound.
inline constexpr std::size_t kMaxProfileFileBytes = std::size_t{64} << 20;

// Looks `key` up in `[section]` of the raw file contents. nullopt when the section or key is
// absent.
std::optional<std::wstring> FindProfileValue(std::string_view fileBytes, std::wstring_view section,
                                             std::wstring_view key);

}  // namespace win

// Copies the value of `key` in `[section]` of `fileName` into `buffer`, truncated to size-1
// characters and always NUL-terminated; returns the number of characters copied, excluding the NUL.
// Falls back to `defaultValue` (null means "") with the same truncation when the file cannot be
// read (missing, not a regular file, unreadable, larger than kMaxProfileFileBytes) or the section
// or key is absent. As on Windows, trailing blanks of the default are dropped.
// size 0 or a null buffer: returns 0 and writes nothing. A null section or key (Windows'
// enumeration modes) is not supported and yields the default. fileName is converted to UTF-8 and
// used as a path as is (relative to the working directory; no Windows-directory lookup).
uint32_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                  const wchar_t* defaultValue, wchar_t* buffer, uint32_t size,
                                  const wchar_t* fileName);
