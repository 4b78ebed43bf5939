// CNavTime: a broken-down date-time with conversions to and from 32-bit second counts, comparisons, and
// arithmetic with spans and time zones modulo 2^32.
#include "pndhal/navtime.h"

#include <atomic>
#include <cstdint>

#include "pndhal/navtimezone.h"
#include "time/calendar.h"

using pndhal::timevalues::CountOfFields;
using pndhal::timevalues::FieldsOfCount;

bool CNavTime::m_bTwentyFour = true;
int CNavTime::m_iLanguage = 0;

namespace {

std::uint32_t Count(const CNavTime& time) noexcept {
  return static_cast<std::uint32_t>(time.GetTotalSeconds(false));
}

CNavTime FromCount(std::uint32_t count) noexcept { return CNavTime(static_cast<long>(count)); }

// The zone's offset at `time` as a second count (a negative offset as its complement).
std::uint32_t ZoneOffset(const CNavTimeZone& zone, const CNavTime& time) {
  CNavTimeSpan span;
  zone.GetTimeSpan(time, span);
  return static_cast<std::uint32_t>(span.GetTotalSeconds());
}

}  // namespace

CNavTime::CNavTime() noexcept : m_tmTime(FieldsOfCount(0)) {}

CNavTime::CNavTime(long seconds) noexcept : m_tmTime(FieldsOfCount(static_cast<std::uint32_t>(seconds))) {}

CNavTime::CNavTime(tm const& time) noexcept : m_tmTime(FieldsOfCount(CountOfFields(time))) {}

CNavTime::CNavTime(CNavTime const& other) noexcept = default;

CNavTime& CNavTime::operator=(CNavTime const& other) noexcept = default;

CNavTime::~CNavTime() = default;

void CNavTime::InitTime(unsigned long const& seconds) {
  m_tmTime = FieldsOfCount(static_cast<std::uint32_t>(seconds));
}

tm CNavTime::Gmnavtime(unsigned long const& seconds) const {
  return FieldsOfCount(static_cast<std::uint32_t>(seconds));
}

unsigned long CNavTime::Mknavtime(tm const& time) const { return CountOfFields(time); }

unsigned long CNavTime::GetTotalSeconds(bool const& timeOfDay) const {
  if (!timeOfDay) {
    return CountOfFields(m_tmTime);
  }
  return static_cast<std::uint32_t>(m_tmTime.tm_sec) + 60u * static_cast<std::uint32_t>(m_tmTime.tm_min) +
         3600u * static_cast<std::uint32_t>(m_tmTime.tm_hour);
}

// The accessors keep the low 16 bits; the sums are taken unsigned so that no field value overflows.
unsigned short CNavTime::GetYear() const {
  return static_cast<unsigned short>(static_cast<std::uint32_t>(m_tmTime.tm_year) + 1900u);
}
unsigned short CNavTime::GetMonth() const {
  return static_cast<unsigned short>(static_cast<std::uint32_t>(m_tmTime.tm_mon) + 1u);
}
unsigned short CNavTime::GetDay() const { return static_cast<unsigned short>(m_tmTime.tm_mday); }
unsigned short CNavTime::GetHour() const { return static_cast<unsigned short>(m_tmTime.tm_hour); }
unsigned short CNavTime::GetMinute() const { return static_cast<unsigned short>(m_tmTime.tm_min); }
unsigned short CNavTime::GetSecond() const { return static_cast<unsigned short>(m_tmTime.tm_sec); }
unsigned short CNavTime::GetDayOfWeek() const {
  return static_cast<unsigned short>(static_cast<std::uint32_t>(m_tmTime.tm_wday) + 1u);
}
unsigned short CNavTime::GetDayOfYear() const { return static_cast<unsigned short>(m_tmTime.tm_yday); }

// The settings are plain exported variables; the library touches them atomically so that a setter on one
// thread and formatting on another do not race.
void CNavTime::Set24Hours(bool twentyFour) {
  std::atomic_ref<bool>(m_bTwentyFour).store(twentyFour, std::memory_order_relaxed);
}

void CNavTime::SetLanguage(int language) {
  std::atomic_ref<int>(m_iLanguage).store(language, std::memory_order_relaxed);
}

bool CNavTime::operator==(CNavTime& other) const { return Count(*this) == Count(other); }
bool CNavTime::operator!=(CNavTime& other) const { return Count(*this) != Count(other); }
bool CNavTime::operator<(CNavTime& other) const { return Count(*this) < Count(other); }
bool CNavTime::operator>(CNavTime& other) const { return Count(*this) > Count(other); }
bool CNavTime::operator<=(CNavTime& other) const { return Count(*this) <= Count(other); }
bool CNavTime::operator>=(CNavTime& other) const { return Count(*this) >= Count(other); }

CNavTime CNavTime::operator+(CNavTimeSpan const& span) const {
  return FromCount(Count(*this) + static_cast<std::uint32_t>(span.GetTotalSeconds()));
}

CNavTime CNavTime::operator-(CNavTimeSpan const& span) const {
  return FromCount(Count(*this) - static_cast<std::uint32_t>(span.GetTotalSeconds()));
}

CNavTime const& CNavTime::operator+=(CNavTimeSpan& span) {
  InitTime(Count(*this) + static_cast<std::uint32_t>(span.GetTotalSeconds()));
  return *this;
}

CNavTime const& CNavTime::operator-=(CNavTimeSpan& span) {
  InitTime(Count(*this) - static_cast<std::uint32_t>(span.GetTotalSeconds()));
  return *this;
}

CNavTimeSpan CNavTime::operator-(CNavTime const& other) const {
  return CNavTimeSpan(static_cast<unsigned long>(Count(*this) - Count(other)));
}

CNavTimeSpan CNavTime::operator+(CNavTime const& other) const {
  return CNavTimeSpan(static_cast<unsigned long>(Count(*this) + Count(other)));
}

CNavTime CNavTime::operator+(CNavTimeZone const& zone) const {
  return FromCount(Count(*this) + ZoneOffset(zone, *this));
}

CNavTime CNavTime::operator-(CNavTimeZone const& zone) const {
  return FromCount(Count(*this) - ZoneOffset(zone, *this));
}

CNavTime const& CNavTime::operator+=(CNavTimeZone& zone) {
  InitTime(Count(*this) + ZoneOffset(zone, *this));
  return *this;
}

CNavTime const& CNavTime::operator-=(CNavTimeZone& zone) {
  InitTime(Count(*this) - ZoneOffset(zone, *this));
  return *this;
}
