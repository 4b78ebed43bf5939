// Conversion between the device's UTF-16 string bytes (as registry string values hold them) and
// wchar_t text, whatever wchar_t's width is on the building platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "ce/types.h"

namespace ce {

/// Decodes little-endian UTF-16 bytes into `out`, which has room for `outChars` wide characters
/// including the terminator. Decoding stops at the first NUL unit or at the end of the bytes (a last
/// odd byte is ignored). Where wchar_t is 32 bits wide a surrogate pair becomes one character and an
/// unpaired surrogate U+FFFD. Text that does not fit is cut. The result is terminated whenever
/// `outChars` > 0. Returns the number of characters written, without the terminator; 0 when `out`
/// is null or `outChars` is 0.
inline std::size_t Utf16BytesToWide(const BYTE* bytes, std::size_t byteCount, wchar_t* out,
                                    std::size_t outChars) {
  if (out == nullptr || outChars == 0) {
    return 0;
  }
  std::size_t written = 0;
  const std::size_t units = bytes == nullptr ? 0 : byteCount / 2;
  for (std::size_t i = 0; i < units && written + 1 < outChars; ++i) {
    auto unit = static_cast<char32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (unit == 0) {
      break;
    }
    if constexpr (sizeof(wchar_t) >= 4) {
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
        const auto low = static_cast<char32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
        if (low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
      if (unit >= 0xD800 && unit <= 0xDFFF) {
        unit = 0xFFFD;
      }
    }
    out[written++] = static_cast<wchar_t>(unit);
  }
  out[written] = L'\0';
  return written;
}

/// Number of bytes WideToUtf16Bytes needs for `text` including the 2-byte terminator; a null `text`
/// counts as empty.
inline std::size_t Utf16ByteCount(const wchar_t* text) {
  std::size_t bytes = 2;
  for (; text != nullptr && *text != L'\0'; ++text) {
    const auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
    bytes += c > 0xFFFF && c <= 0x10FFFF ? 4 : 2;
  }
  return bytes;
}

/// Encodes `text` (null counts as empty) as little-endian UTF-16 with its terminator into `out`,
/// which holds `outBytes` bytes. Characters outside Unicode become U+FFFD. Returns the bytes written
/// including the terminator, or 0 (nothing written) when `out` is null or too small; see
/// Utf16ByteCount.
inline std::size_t WideToUtf16Bytes(const wchar_t* text, BYTE* out, std::size_t outBytes) {
  if (out == nullptr || outBytes < Utf16ByteCount(text)) {
    return 0;
  }
  std::size_t at = 0;
  auto put = [&](std::uint32_t unit) {
    out[at++] = static_cast<BYTE>(unit & 0xFF);
    out[at++] = static_cast<BYTE>(unit >> 8);
  };
  for (; text != nullptr && *text != L'\0'; ++text) {
    auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
    if (c > 0x10FFFF) {
      c = 0xFFFD;
    }
    if (c > 0xFFFF) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  put(0);
  return at;
}

}  // namespace ce
