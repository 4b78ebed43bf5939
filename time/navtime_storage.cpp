// The storage text of a date-time: its eight tm fields in plain decimal separated by "|", written by
// Serialize and read back by Deserialize.
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "pndhal/navtime.h"
#include "time/decimal_text.h"
#include "time/integer_reader.h"

namespace {

constexpr std::size_t kFieldCount = 8;
// Eight numbers of at most 11 characters and seven separators.
constexpr std::size_t kMaxTextLength = kFieldCount * pndhal::timevalues::kMaxDecimalLength + kFieldCount - 1;

// The fields in the order of the text.
constexpr int tm::*kFields[kFieldCount] = {&tm::tm_sec, &tm::tm_min,  &tm::tm_hour, &tm::tm_mday,
                                           &tm::tm_mon, &tm::tm_year, &tm::tm_wday, &tm::tm_yday};

}  // namespace

void CNavTime::Serialize(wchar_t* buffer, unsigned long capacity) {
  if (buffer == nullptr || capacity == 0) {
    return;
  }
  // The buffer is cut first, so a text that does not fit leaves it terminated within its capacity.
  std::size_t end = 0;
  while (end < capacity - 1 && buffer[end] != L'\0') {
    ++end;
  }
  buffer[end] = L'\0';

  wchar_t text[kMaxTextLength];
  std::size_t length = 0;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (i != 0) {
      text[length++] = L'|';
    }
    length += pndhal::timevalues::WritePlainDecimal(m_tmTime.*kFields[i], text + length);
  }
  if (length > capacity - 1) {
    return;
  }
  std::wmemcpy(buffer, text, length);
  buffer[length] = L'\0';
}

bool CNavTime::Deserialize(wchar_t const* text) {
  const wchar_t* rest = text == nullptr ? L"" : text;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (*rest == L'\0') {
      return false;
    }
    const wchar_t* separator = rest;
    while (*separator != L'\0' && *separator != L'|') {
      ++separator;
    }
    m_tmTime.*kFields[i] =
        pndhal::timevalues::ReadInteger(rest, static_cast<std::size_t>(separator - rest)).value;
    rest = *separator == L'|' ? separator + 1 : separator;
  }
  return true;
}
