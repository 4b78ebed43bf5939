// The POSIX TZ rule parser.
#include "sim/calendar/posix_tz.h"

#include <cctype>

namespace sim::tz {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  bool Accept(char c) {
    if (AtEnd() || text_[pos_] != c) {
      return false;
    }
    ++pos_;
    return true;
  }

  // Reads 1 to `maxDigits` decimal digits.
  std::optional<int> Number(int maxDigits) {
    int value = 0;
    int digits = 0;
    while (digits < maxDigits && std::isdigit(static_cast<unsigned char>(Peek()))) {
      value = value * 10 + (Peek() - '0');
      ++pos_;
      ++digits;
    }
    if (digits == 0) {
      return std::nullopt;
    }
    return value;
  }

  // An unquoted name of letters, or a <quoted> name of letters, digits and signs.
  std::optional<std::string> Name() {
    std::string name;
    if (Accept('<')) {
      while (!AtEnd() && Peek() != '>') {
        const char c = Peek();
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-') {
          return std::nullopt;
        }
        name += c;
        ++pos_;
      }
      if (!Accept('>')) {
        return std::nullopt;
      }
    } else {
      while (std::isalpha(static_cast<unsigned char>(Peek()))) {
        name += Peek();
        ++pos_;
      }
    }
    if (name.size() < 3) {
      return std::nullopt;
    }
    return name;
  }

  // [+-]h[:mm[:ss]] in seconds, the hours at most `maxHours`.
  std::optional<int> Duration(int maxHours) {
    int sign = 1;
    if (Accept('-')) {
      sign = -1;
    } else {
      Accept('+');
    }
    const auto hours = Number(3);
    if (!hours || *hours > maxHours) {
      return std::nullopt;
    }
    int seconds = *hours * 3600;
    if (Accept(':')) {
      const auto minutes = Number(2);
      if (!minutes || *minutes > 59) {
        return std::nullopt;
      }
      seconds += *minutes * 60;
      if (Accept(':')) {
        const auto secs = Number(2);
        if (!secs || *secs > 59) {
          return std::nullopt;
        }
        seconds += *secs;
      }
    }
    return sign * seconds;
  }

  std::optional<PosixRuleDate> RuleDate() {
    PosixRuleDate date;
    if (Accept('J')) {
      const auto day = Number(3);
      if (!day || *day < 1 || *day > 365) {
        return std::nullopt;
      }
      date.form = PosixRuleDate::Form::Julian;
      date.day = *day;
    } else if (Accept('M')) {
      const auto month = Number(2);
      if (!month || *month < 1 || *month > 12 || !Accept('.')) {
        return std::nullopt;
      }
      const auto week = Number(1);
      if (!week || *week < 1 || *week > 5 || !Accept('.')) {
        return std::nullopt;
      }
      const auto weekday = Number(1);
      if (!weekday || *weekday > 6) {
        return std::nullopt;
      }
      date.form = PosixRuleDate::Form::MonthWeekDay;
      date.month = *month;
      date.week = *week;
      date.weekday = *weekday;
    } else {
      const auto day = Number(3);
      if (!day || *day > 365) {
        return std::nullopt;
      }
      date.form = PosixRuleDate::Form::ZeroBasedDay;
      date.day = *day;
    }
    if (Accept('/')) {
      const auto time = Duration(167);
      if (!time) {
        return std::nullopt;
      }
      date.time = *time;
    }
    return date;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

PosixRuleDate MonthWeekDay(int month, int week, int weekday) {
  PosixRuleDate date;
  date.month = month;
  date.week = week;
  date.weekday = weekday;
  return date;
}

}  // namespace

std::optional<PosixTz> ParsePosixTz(std::string_view text) {
  Reader in(text);
  PosixTz tz;
  auto name = in.Name();
  if (!name) {
    return std::nullopt;
  }
  tz.standardName = std::move(*name);
  const auto offset = in.Duration(24);
  if (!offset) {
    return std::nullopt;
  }
  tz.standardOffset = -*offset;
  if (in.AtEnd()) {
    return tz;
  }

  name = in.Name();
  if (!name) {
    return std::nullopt;
  }
  tz.hasDaylight = true;
  tz.daylightName = std::move(*name);
  tz.daylightOffset = tz.standardOffset + 3600;
  if (!in.AtEnd() && in.Peek() != ',') {
    const auto daylightOffset = in.Duration(24);
    if (!daylightOffset) {
      return std::nullopt;
    }
    tz.daylightOffset = -*daylightOffset;
  }
  if (in.AtEnd()) {
    tz.start = MonthWeekDay(3, 2, 0);
    tz.end = MonthWeekDay(11, 1, 0);
    return tz;
  }
  if (!in.Accept(',')) {
    return std::nullopt;
  }
  const auto start = in.RuleDate();
  if (!start || !in.Accept(',')) {
    return std::nullopt;
  }
  const auto end = in.RuleDate();
  if (!end || !in.AtEnd()) {
    return std::nullopt;
  }
  tz.start = *start;
  tz.end = *end;
  return tz;
}

}  // namespace sim::tz
