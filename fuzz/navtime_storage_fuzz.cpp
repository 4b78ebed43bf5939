// Fuzz target: the storage text of date-times. Whatever Deserialize reads, Serialize writes a text that
// reads back to the same fields and the same text, and a buffer of any capacity is never overrun.
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>

#include "fuzz/fuzz_text.h"
#include "pndhal/navtime.h"
#include "time/value_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t capacity = fuzztext::Take(data, size, 1) % 100;
  const std::wstring text = fuzztext::Widen(data, size);

  CNavTime time(1205589909L);
  time.Deserialize(text.c_str());

  wchar_t written[96];
  written[0] = L'\0';
  time.Serialize(written, 96);
  fuzztext::Require(std::wcslen(written) > 0);

  CNavTime back;
  fuzztext::Require(back.Deserialize(written));
  const tm& a = NavValueAccess::Fields(time);
  const tm& b = NavValueAccess::Fields(back);
  fuzztext::Require(a.tm_sec == b.tm_sec && a.tm_min == b.tm_min && a.tm_hour == b.tm_hour &&
                    a.tm_mday == b.tm_mday && a.tm_mon == b.tm_mon && a.tm_year == b.tm_year &&
                    a.tm_wday == b.tm_wday && a.tm_yday == b.tm_yday);
  wchar_t again[96];
  again[0] = L'\0';
  back.Serialize(again, 96);
  fuzztext::Require(std::wcscmp(written, again) == 0);

  // A buffer of exactly `capacity` characters holding the input as its previous text.
  const std::size_t length = std::wcslen(written);
  auto exact = std::make_unique<wchar_t[]>(capacity == 0 ? 1 : capacity);
  for (std::size_t i = 0; i < capacity; ++i) {
    exact[i] = i < text.size() ? text[i] : L'x';
  }
  time.Serialize(capacity == 0 ? nullptr : exact.get(), capacity);
  if (capacity > length) {
    fuzztext::Require(std::wcscmp(exact.get(), written) == 0);
  }
  return 0;
}
