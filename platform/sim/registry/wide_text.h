// Text conversions of the simulator: UTF-8 to wide text for the control API, whose strings arrive as
// UTF-8 (the opposite direction is sim::Narrow), and wide text to the device's UTF-16 string bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ce/utf16.h"

namespace sim {

/// Decodes UTF-8 into wide characters; a malformed or overlong sequence, a surrogate and anything
/// beyond U+10FFFF become U+FFFD.
inline std::wstring Widen(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    std::uint32_t code = length == 1   ? lead
                         : length == 2 ? lead & 0x1Fu
                         : length == 3 ? lead & 0x0Fu
                                       : lead & 0x07u;
    bool ok = length != 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; ok && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      ok = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      out += static_cast<wchar_t>(0xFFFD);
      i += 1;
      continue;
    }
    out += static_cast<wchar_t>(code);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

/// `text` as little-endian UTF-16 bytes with the 2-byte terminator, as the registry stores strings.
inline std::vector<std::uint8_t> Utf16Z(const std::wstring& text) {
  std::vector<std::uint8_t> bytes(ce::Utf16ByteCount(text.c_str()));
  ce::WideToUtf16Bytes(text.c_str(), bytes.data(), bytes.size());
  return bytes;
}

}  // namespace sim
