// The Format operations of CNavTime and CNavTimeSpan: each class's token table, rendered through the
// shared one-pass substitution.
#include <atomic>
#include <cstdint>

#include "pndhal/navtime.h"
#include "time/decimal_text.h"
#include "time/substitution.h"

namespace {

using pndhal::timevalues::WritePlainDecimal;
using pndhal::timevalues::WriteTwoCharacterDecimal;

std::int32_t Plus(int value, std::uint32_t amount) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + amount);
}

// The tokens of a date-time. The hour mode is read once per call.
class DateTimeTokens {
 public:
  DateTimeTokens(const tm& fields, bool twentyFour) noexcept : fields_(fields), twentyFour_(twentyFour) {}

  // Inlined into the substitution loop: a call per token would cost as much as rendering it.
  [[gnu::always_inline]] std::size_t Render(wchar_t letter, wchar_t* out) const noexcept {
    switch (letter) {
      case L'H':
        return WriteTwoCharacterDecimal(Hour(), out);
      case L'h':
        return WritePlainDecimal(Hour(), out);
      case L'M':
        return WriteTwoCharacterDecimal(fields_.tm_min, out);
      case L'S':
        return WriteTwoCharacterDecimal(fields_.tm_sec, out);
      case L's':
        return WritePlainDecimal(fields_.tm_sec, out);
      case L'p':
        out[0] = fields_.tm_hour < 12 ? L'a' : L'p';
        out[1] = L'm';
        return 2;
      case L'd':
        return WriteTwoCharacterDecimal(fields_.tm_mday, out);
      case L'j':
        return WritePlainDecimal(fields_.tm_yday, out);
      case L'm':
        return WriteTwoCharacterDecimal(Plus(fields_.tm_mon, 1), out);
      case L'w':
        return WritePlainDecimal(Plus(fields_.tm_wday, 1), out);
      case L'Y':
        return WritePlainDecimal(Plus(fields_.tm_year, 1900), out);
      case L'y':
        return WriteTwoCharacterDecimal(Plus(fields_.tm_year, 0u - 100u), out);
      default:
        return 0;
    }
  }

 private:
  // Twelve-hour form shows 12 for midnight and noon.
  std::int32_t Hour() const noexcept {
    const int hour = fields_.tm_hour;
    if (twentyFour_) {
      return hour;
    }
    return hour == 0 || hour == 12 ? 12 : hour % 12;
  }

  const tm& fields_;
  bool twentyFour_;
};

// The tokens of a span, from its stored parts.
class SpanTokens {
 public:
  SpanTokens(std::int32_t days, int hours, int minutes, int seconds) noexcept
      : days_(days), hours_(hours), minutes_(minutes), seconds_(seconds) {}

  [[gnu::always_inline]] std::size_t Render(wchar_t letter, wchar_t* out) const noexcept {
    switch (letter) {
      case L'H':
        return WriteTwoCharacterDecimal(hours_, out);
      case L'h':
        return WritePlainDecimal(hours_, out);
      case L'M':
        return WriteTwoCharacterDecimal(minutes_, out);
      case L'm':
        return WritePlainDecimal(minutes_, out);
      case L'S':
        return WriteTwoCharacterDecimal(seconds_, out);
      case L'D':
        return WriteTwoCharacterDecimal(days_, out);
      case L'd':
        return WritePlainDecimal(days_, out);
      default:
        return 0;
    }
  }

 private:
  std::int32_t days_;
  int hours_;
  int minutes_;
  int seconds_;
};

bool TwentyFour() noexcept {
  return std::atomic_ref<bool>(CNavTime::m_bTwentyFour).load(std::memory_order_relaxed);
}

SpanTokens TokensOf(const CNavTimeSpan& span) noexcept {
  return SpanTokens(static_cast<std::int32_t>(span.GetDays()), span.GetHours(), span.GetMinutes(),
                    span.GetSeconds());
}

}  // namespace

void CNavTime::Format(String::StringProxy<String::ZuStringImpl>& output,
                      String::StringProxy<String::ZuStringImpl> const& format) {
  pndhal::timevalues::FormatIntoString(DateTimeTokens(m_tmTime, TwentyFour()), output, format);
}

void CNavTime::Format(wchar_t* buffer, unsigned long capacity, wchar_t const* format) {
  pndhal::timevalues::FormatIntoBuffer(DateTimeTokens(m_tmTime, TwentyFour()), buffer, capacity, format);
}

void CNavTimeSpan::Format(String::StringProxy<String::ZuStringImpl>& output,
                          String::StringProxy<String::ZuStringImpl> const& format) {
  pndhal::timevalues::FormatIntoString(TokensOf(*this), output, format);
}

void CNavTimeSpan::Format(wchar_t* buffer, unsigned long capacity, wchar_t const* format) {
  pndhal::timevalues::FormatIntoBuffer(TokensOf(*this), buffer, capacity, format);
}
