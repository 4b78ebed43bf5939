// The simulator's one text codec: UTF-8, the encoding of the control API and the trace, to and from
// wide text; wide text to and from the device's UTF-16 string bytes (through ce/utf16.h, which the
// HAL decodes with too); and the case folding of names the platform compares without regard to case.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

/// Wide text as UTF-8; a value that is no Unicode character (a surrogate where wchar_t is 32 bits
/// wide, or one beyond U+10FFFF) becomes U+FFFD. Null gives the empty text.
std::string Narrow(const wchar_t* text);
std::string Narrow(std::wstring_view text);

/// UTF-8 as wide text; a malformed or overlong sequence, a surrogate and anything beyond U+10FFFF
/// become U+FFFD.
std::wstring Widen(std::string_view text);

/// `text` as little-endian UTF-16 bytes with the 2-byte terminator, as the registry stores strings.
std::vector<std::uint8_t> Utf16Z(std::wstring_view text);

/// Little-endian UTF-16 bytes as wide text, up to the first NUL unit or the end of the bytes.
std::wstring FromUtf16(std::span<const std::uint8_t> bytes);

/// `c` folded to upper case for names the platform compares without regard to case: ASCII and
/// Latin-1 letters fold, everything else is itself.
wchar_t FoldCase(wchar_t c);

/// `text` with every character folded by FoldCase, the key of a case-insensitive name.
std::wstring FoldCase(std::wstring_view text);

}  // namespace sim
