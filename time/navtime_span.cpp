// CNavTimeSpan: a length of time whose total is a 32-bit second count, with arithmetic modulo 2^32.
#include <cstdint>

#include "pndhal/navtime.h"

namespace {

// The parts are 32-bit values, so a day count wider than that keeps its low 32 bits.
long LowDays(long days) noexcept { return static_cast<std::int32_t>(static_cast<std::uint32_t>(days)); }

std::uint32_t Total(const CNavTimeSpan& span) noexcept {
  std::uint32_t total =
      static_cast<std::uint32_t>(span.GetDays()) * 24 + static_cast<std::uint32_t>(span.GetHours());
  total = total * 60 + static_cast<std::uint32_t>(span.GetMinutes());
  return total * 60 + static_cast<std::uint32_t>(span.GetSeconds());
}

}  // namespace

CNavTimeSpan::CNavTimeSpan() noexcept : m_lDays(0), m_iHours(0), m_iMinutes(0), m_iSeconds(0) {}

CNavTimeSpan::CNavTimeSpan(unsigned long seconds) noexcept {
  const auto count = static_cast<std::uint32_t>(seconds);
  m_lDays = static_cast<long>(count / 86400);
  m_iHours = static_cast<int>(count % 86400 / 3600);
  m_iMinutes = static_cast<int>(count % 3600 / 60);
  m_iSeconds = static_cast<int>(count % 60);
}

CNavTimeSpan::CNavTimeSpan(long days, int hours, int minutes, int seconds) noexcept
    : m_lDays(LowDays(days)), m_iHours(hours), m_iMinutes(minutes), m_iSeconds(seconds) {}

CNavTimeSpan::CNavTimeSpan(CNavTimeSpan const& other) noexcept = default;

CNavTimeSpan& CNavTimeSpan::operator=(CNavTimeSpan const& other) noexcept = default;

CNavTimeSpan::~CNavTimeSpan() = default;

long CNavTimeSpan::GetDays() const { return m_lDays; }
int CNavTimeSpan::GetHours() const { return m_iHours; }
int CNavTimeSpan::GetMinutes() const { return m_iMinutes; }
int CNavTimeSpan::GetSeconds() const { return m_iSeconds; }

unsigned long CNavTimeSpan::GetTotalSeconds() const { return Total(*this); }

CNavTimeSpan CNavTimeSpan::operator+(CNavTimeSpan const& other) const {
  return CNavTimeSpan(static_cast<unsigned long>(Total(*this) + Total(other)));
}

CNavTimeSpan CNavTimeSpan::operator-(CNavTimeSpan const& other) const {
  return CNavTimeSpan(static_cast<unsigned long>(Total(*this) - Total(other)));
}

CNavTimeSpan const& CNavTimeSpan::operator+=(CNavTimeSpan& other) {
  *this = *this + other;
  return *this;
}

CNavTimeSpan const& CNavTimeSpan::operator-=(CNavTimeSpan& other) {
  *this = *this - other;
  return *this;
}

bool CNavTimeSpan::operator==(CNavTimeSpan& other) const { return Total(*this) == Total(other); }
bool CNavTimeSpan::operator!=(CNavTimeSpan& other) const { return Total(*this) != Total(other); }
bool CNavTimeSpan::operator<(CNavTimeSpan& other) const { return Total(*this) < Total(other); }
bool CNavTimeSpan::operator>(CNavTimeSpan& other) const { return Total(*this) > Total(other); }
bool CNavTimeSpan::operator<=(CNavTimeSpan& other) const { return Total(*this) <= Total(other); }
bool CNavTimeSpan::operator>=(CNavTimeSpan& other) const { return Total(*this) >= Total(other); }
