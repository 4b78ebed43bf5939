// CNavTimeZone: construction from a descriptor text or from the shared time-zone data, copying, the
// description, and the offset at a given date-time.
#include "pndhal/navtimezone.h"

#include <cstdint>
#include <cwchar>
#include <limits>
#include <string_view>

#include "time/integer_reader.h"
#include "time/offset_text.h"
#include "time/zone_offset.h"

using pndhal::timevalues::BaseOffsetMinutes;
using pndhal::timevalues::ConvertOffsetText;
using pndhal::timevalues::ReadInteger;
using pndhal::timevalues::ShiftMinutesAt;

namespace {

constexpr std::size_t kDescriptionRoom = 512;
constexpr std::int32_t kFirstSharedYear = 2007;
constexpr std::int32_t kLastFirstSharedYear = 2030;

// Stores `text` when it has at most 511 characters; a null or longer text leaves the description empty.
// A longer text is not measured beyond its 512th character.
void StoreDescription(wchar_t (&description)[kDescriptionRoom], const wchar_t* text) noexcept {
  std::size_t length = 0;
  if (text != nullptr) {
    while (length < kDescriptionRoom && text[length] != L'\0') {
      ++length;
    }
  }
  if (length == kDescriptionRoom) {
    length = 0;
  }
  if (length != 0) {
    std::wmemcpy(description, text, length);
  }
  description[length] = L'\0';
}

// One field of the rule records: the integer after the first occurrence of its marker in what remains of
// the rule list. The remaining list only ever loses its front, so the occurrence found last stays the first
// one until the front passes it; keeping it (and its value) makes reading all records linear in the length
// of the list. A marker that does not occur any more gives 0.
class MarkedField {
 public:
  explicit MarkedField(wchar_t marker) noexcept : marker_(marker) {}

  std::int32_t ValueFrom(std::wstring_view list, std::size_t front) noexcept {
    if (!searched_ || (position_ != std::wstring_view::npos && position_ < front)) {
      searched_ = true;
      position_ = list.find(marker_, front);
      value_ = position_ == std::wstring_view::npos
                   ? 0
                   : ReadInteger(list.data() + position_ + 1, list.size() - position_ - 1).value;
    }
    return value_;
  }

 private:
  wchar_t marker_;
  bool searched_ = false;
  std::size_t position_ = std::wstring_view::npos;
  std::int32_t value_ = 0;
};

// Reads the records "(y<year>M<month>d<day>h<hour>) {<days>}" of a rule list.
class RuleFields {
 public:
  TimeZoneRule Read(std::wstring_view list, std::size_t front) noexcept {
    return TimeZoneRule{year_.ValueFrom(list, front),
                        month_.ValueFrom(list, front),
                        day_.ValueFrom(list, front),
                        hour_.ValueFrom(list, front),
                        0,
                        days_.ValueFrom(list, front)};
  }

 private:
  MarkedField year_{L'y'};
  MarkedField month_{L'M'};
  MarkedField day_{L'd'};
  MarkedField hour_{L'h'};
  MarkedField days_{L'{'};
};

bool TakePrefix(std::wstring_view& text, std::wstring_view prefix) noexcept {
  if (text.substr(0, prefix.size()) != prefix) {
    return false;
  }
  text.remove_prefix(prefix.size());
  return true;
}

}  // namespace

CNavTimeZone::CNavTimeZone() noexcept : m_fBaseOffset(0) { m_szDescription[0] = L'\0'; }

CNavTimeZone::CNavTimeZone(wchar_t const* descriptor) : CNavTimeZone() { InitTimeZone(descriptor); }

CNavTimeZone::CNavTimeZone(CNavTimeZone const& other) : CNavTimeZone() {
  if (!m_vecRules.Assign(other.m_vecRules) || !m_vecShifts.Assign(other.m_vecShifts)) {
    m_vecRules.clear();
    m_vecShifts.clear();
  }
  m_fBaseOffset = other.m_fBaseOffset;
  StoreDescription(m_szDescription, other.m_szDescription);
}

CNavTimeZone::CNavTimeZone(CNavTimeZone&& other) noexcept
    : m_vecRules(std::move(other.m_vecRules)),
      m_vecShifts(std::move(other.m_vecShifts)),
      m_fBaseOffset(other.m_fBaseOffset) {
  StoreDescription(m_szDescription, other.m_szDescription);
}

CNavTimeZone::CNavTimeZone(TimeZoneInfoPtr info) : CNavTimeZone() {
  if (!info) {
    return;
  }
  const ZuCommon::TimeZoneYearMap& years = info->m_years;
  std::int32_t year = kFirstSharedYear;
  while (years.Find(year) == nullptr && year < kLastFirstSharedYear) {
    ++year;
  }
  for (const ZuCommon::TimeZoneYearRecord* record = years.Find(year); record != nullptr;
       record = year < std::numeric_limits<std::int32_t>::max() ? years.Find(++year) : nullptr) {
    if (!m_vecRules.push_back(
            TimeZoneRule{year, record->wMonth, record->wDay, record->wHour, 0, record->wDays})) {
      break;
    }
    if (!m_vecShifts.push_back(record->wShiftMinutes)) {
      m_vecRules.erase(m_vecRules.end() - 1);
      break;
    }
  }
  double tenths = 0;
  if (ConvertOffsetText(info->m_strOffset.c_str(), info->m_strOffset.length(), tenths)) {
    m_fBaseOffset = static_cast<float>(tenths * 0.1);
  }
  info.Reset();
}

CNavTimeZone const& CNavTimeZone::operator=(CNavTimeZone const& other) {
  if (this == &other) {
    return *this;
  }
  Container::ZuVector<TimeZoneRule> rules;
  Container::ZuVector<std::int32_t> shifts;
  if (!rules.Assign(other.m_vecRules) || !shifts.Assign(other.m_vecShifts)) {
    return *this;
  }
  m_vecRules.Swap(rules);
  m_vecShifts.Swap(shifts);
  m_fBaseOffset = other.m_fBaseOffset;
  StoreDescription(m_szDescription, other.m_szDescription);
  return *this;
}

CNavTimeZone& CNavTimeZone::operator=(CNavTimeZone&& other) noexcept {
  if (this == &other) {
    return *this;
  }
  m_vecRules = std::move(other.m_vecRules);
  m_vecShifts = std::move(other.m_vecShifts);
  m_fBaseOffset = other.m_fBaseOffset;
  StoreDescription(m_szDescription, other.m_szDescription);
  return *this;
}

CNavTimeZone::~CNavTimeZone() = default;

bool CNavTimeZone::InitTimeZone(wchar_t const* descriptor) {
  if (descriptor == nullptr) {
    return false;
  }
  std::wstring_view text(descriptor);
  if (!TakePrefix(text, L"TZ|")) {
    return false;
  }
  const std::size_t bar = text.find(L'|');
  if (bar == std::wstring_view::npos || bar == 0) {
    return false;
  }
  double hours = 0;
  if (ConvertOffsetText(text.data(), bar, hours)) {
    m_fBaseOffset = static_cast<float>(hours);
  }
  text.remove_prefix(bar + 1);
  if (!TakePrefix(text, L"DY|") || !TakePrefix(text, L"1;")) {
    return false;
  }
  const std::size_t bracket = text.find(L'[');
  if (bracket == std::wstring_view::npos || bracket == 0) {
    return false;
  }
  const std::wstring_view shiftList = text.substr(0, bracket);
  const std::wstring_view ruleList = text.substr(bracket);

  // A record ends at a ";" past the first character of what remains; the rest after the last such ";",
  // when there is any, is the final record.
  RuleFields fields;
  std::size_t front = 0;
  for (std::size_t end = ruleList.find(L';', front + 1); end != std::wstring_view::npos;
       end = ruleList.find(L';', front + 1)) {
    if (!m_vecRules.push_back(fields.Read(ruleList, front))) {
      return false;
    }
    front = end + 1;
  }
  if (front < ruleList.size() && !m_vecRules.push_back(fields.Read(ruleList, front))) {
    return false;
  }

  // Each shift is the integer at the start of the list up to its next ";"; text after the last is ignored.
  front = 0;
  for (std::size_t end = shiftList.find(L';', front + 1); end != std::wstring_view::npos;
       end = shiftList.find(L';', front + 1)) {
    if (!m_vecShifts.push_back(ReadInteger(shiftList.data() + front, end - front).value)) {
      return false;
    }
    front = end + 1;
  }
  return m_vecRules.size() == m_vecShifts.size();
}

void CNavTimeZone::GetTimeSpan(CNavTime const& time, CNavTimeSpan& span) const {
  const std::uint32_t shift = static_cast<std::uint32_t>(ShiftMinutesAt(*this, time)) * 60u;
  const std::uint32_t offset = static_cast<std::uint32_t>(BaseOffsetMinutes(m_fBaseOffset)) * 60u + shift;
  span = CNavTimeSpan(static_cast<unsigned long>(offset));
}

void CNavTimeZone::GetDescription(wchar_t* buffer, unsigned int size) const {
  if (buffer == nullptr || size == 0) {
    return;
  }
  buffer[0] = L'\0';
  const std::size_t length = std::wcslen(m_szDescription);
  if (length < size) {
    std::wmemcpy(buffer, m_szDescription, length + 1);
  }
}

void CNavTimeZone::SetDescription(wchar_t const* text) { StoreDescription(m_szDescription, text); }
