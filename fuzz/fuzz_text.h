// Turns fuzzer bytes into wide text for the fuzz targets: one character per byte, with the top bytes
// standing for characters above U+00FF so that texts also hold characters no narrow byte can carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzztext {

/// The wide text of `size` bytes; a zero byte stays a NUL character.
inline std::wstring Widen(const std::uint8_t* data, std::size_t size) {
  std::wstring text(size, L'\0');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = data[i] < 0xF8 ? static_cast<wchar_t>(data[i]) : static_cast<wchar_t>(0x100 + data[i] * 0x80);
  }
  return text;
}

/// Takes `count` bytes from the front of the input as a little-endian number (missing bytes count as 0).
inline std::uint32_t Take(const std::uint8_t*& data, std::size_t& size, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count && size != 0; ++i, ++data, --size) {
    value |= std::uint32_t{*data} << (8 * i);
  }
  return value;
}

/// Stops the fuzzer with a crash report when a property does not hold.
inline void Require(bool holds) {
  if (!holds) {
    __builtin_trap();
  }
}

}  // namespace fuzztext
