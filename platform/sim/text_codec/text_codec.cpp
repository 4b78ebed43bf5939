// The simulator's text codec: UTF-8 to and from wide text, UTF-16 bytes through ce/utf16.h, and case
// folding of names.
#include "sim/text_codec/text_codec.h"

#include <algorithm>

#include "ce/utf16.h"

namespace sim {

std::string Narrow(const wchar_t* text) {
  return text == nullptr ? std::string() : Narrow(std::wstring_view(text));
}

std::string Narrow(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t character : text) {
    auto c = static_cast<std::uint32_t>(character);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Widen(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80           ? 1
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

std::vector<std::uint8_t> Utf16Z(std::wstring_view text) {
  const std::wstring terminated(text);
  std::vector<std::uint8_t> bytes(ce::Utf16ByteCount(terminated.c_str()));
  ce::WideToUtf16Bytes(terminated.c_str(), bytes.data(), bytes.size());
  return bytes;
}

std::wstring FromUtf16(std::span<const std::uint8_t> bytes) {
  std::wstring text(bytes.size() / 2 + 1, L'\0');
  text.resize(ce::Utf16BytesToWide(bytes.data(), bytes.size(), text.data(), text.size()));
  return text;
}

wchar_t FoldCase(wchar_t c) {
  if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
    return static_cast<wchar_t>(c - 0x20);
  }
  return c;
}

std::wstring FoldCase(std::wstring_view text) {
  std::wstring folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(), [](wchar_t c) { return FoldCase(c); });
  return folded;
}

}  // namespace sim
