// The exported date-time and span value classes: CNavTime holds a calendar date and time of day to the
// second, CNavTimeSpan a length of time; both render themselves as text and do 32-bit second arithmetic.
#pragma once

#include <ctime>

#include "pndhal/export.h"
#include "pndhal/zu_string.h"

class CNavTimeZone;
class NavValueAccess;

/// A length of time in days, hours, minutes and seconds. Its total is an unsigned 32-bit second count and
/// all its arithmetic wraps modulo 2^32, so a negative amount is carried as its 2^32 complement.
class PNDHAL_API CNavTimeSpan {
 public:
  /// A zero span.
  CNavTimeSpan() noexcept;
  /// Splits the low 32 bits of `seconds` into days (0-49710), hours, minutes and seconds; the result is
  /// normalised and its total equals those 32 bits.
  CNavTimeSpan(unsigned long seconds) noexcept;  // NOLINT(google-explicit-constructor)
  /// Stores the four parts as given, without range checks or normalisation. The day count keeps its low
  /// 32 bits as a signed number.
  CNavTimeSpan(long days, int hours, int minutes, int seconds) noexcept;
  /// Copies the four parts.
  CNavTimeSpan(CNavTimeSpan const& other) noexcept;
  /// Copies the four parts; returns this span.
  CNavTimeSpan& operator=(CNavTimeSpan const& other) noexcept;
  /// Nothing to release.
  virtual ~CNavTimeSpan();

  /// The stored day count.
  long GetDays() const;
  /// The stored hours.
  int GetHours() const;
  /// The stored minutes.
  int GetMinutes() const;
  /// The stored seconds.
  int GetSeconds() const;
  /// ((days x 24 + hours) x 60 + minutes) x 60 + seconds modulo 2^32; always below 2^32.
  unsigned long GetTotalSeconds() const;

  /// A normalised span of the sum of both totals modulo 2^32.
  CNavTimeSpan operator+(CNavTimeSpan const& other) const;
  /// A normalised span of the difference of both totals modulo 2^32: a smaller minus a larger span gives
  /// the 2^32 complement of the difference.
  CNavTimeSpan operator-(CNavTimeSpan const& other) const;
  /// Becomes `*this + other` (normalised); `other` is not changed. Returns this span.
  CNavTimeSpan const& operator+=(CNavTimeSpan& other);
  /// Becomes `*this - other` (normalised); `other` is not changed. Returns this span.
  CNavTimeSpan const& operator-=(CNavTimeSpan& other);

  /// Comparisons of the two totals as unsigned 32-bit numbers; `other` is not changed.
  bool operator==(CNavTimeSpan& other) const;
  bool operator!=(CNavTimeSpan& other) const;
  bool operator<(CNavTimeSpan& other) const;
  bool operator>(CNavTimeSpan& other) const;
  bool operator<=(CNavTimeSpan& other) const;
  bool operator>=(CNavTimeSpan& other) const;

  /// Replaces `output` with `format` in which the tokens %H %h (hours), %M %m (minutes), %S (seconds),
  /// %D %d (days) are substituted; upper-case tokens are two-character, lower-case plain. Other text is
  /// copied unchanged. `output` and `format` may be the same string. When `output` cannot take the result
  /// (no memory, or a bound buffer too small) it keeps its previous text.
  void Format(String::StringProxy<String::ZuStringImpl>& output,
              String::StringProxy<String::ZuStringImpl> const& format);
  /// As above into `buffer`, always terminated and never more than `capacity` characters with the
  /// terminator: a longer result is cut to capacity - 1 characters. A null `format` gives the empty text;
  /// a null `buffer` or a capacity of 0 writes nothing. `format` may lie inside `buffer`.
  void Format(wchar_t* buffer, unsigned long capacity, wchar_t const* format);

 private:
  long m_lDays;
  int m_iHours;
  int m_iMinutes;
  int m_iSeconds;
};

/// A calendar date and time of day to the second, held as a broken-down `tm` record and convertible to and
/// from an unsigned 32-bit count of seconds since 1970-01-01 00:00:00. It carries no time zone.
class PNDHAL_API CNavTime {
 public:
  /// 1970-01-01 00:00:00, a Thursday (second count 0).
  CNavTime() noexcept;
  /// The date-time of the second count given by the low 32 bits of `seconds`, read as unsigned.
  CNavTime(long seconds) noexcept;  // NOLINT(google-explicit-constructor)
  /// The normalised date-time of `time`: out-of-range fields roll over into their neighbours, week day and
  /// year day are recomputed, the daylight flag becomes 0.
  CNavTime(tm const& time) noexcept;  // NOLINT(google-explicit-constructor)
  /// Copies all fields unchanged.
  CNavTime(CNavTime const& other) noexcept;
  /// Copies all fields unchanged; returns this value.
  CNavTime& operator=(CNavTime const& other) noexcept;
  /// Nothing to release.
  virtual ~CNavTime();

  /// The normalised fields of the second count given by the low 32 bits of `seconds`. Gregorian calendar
  /// over the whole range (4294967295 is 2106-02-07 06:28:15). Neither reads nor changes this value.
  tm Gmnavtime(unsigned long const& seconds) const;
  /// The second count of the fields of `time` modulo 2^32 (Gregorian calendar). Only year, month, day,
  /// hour, minute and second are read; they need not lie in their ranges: the month folds into the year,
  /// the others count linearly (day 0 is the last day of the previous month). Never fails.
  unsigned long Mknavtime(tm const& time) const;
  /// With `timeOfDay` true the seconds since midnight of the held fields; otherwise the held value's full
  /// second count (Mknavtime of the fields). Both modulo 2^32.
  unsigned long GetTotalSeconds(bool const& timeOfDay) const;

  // Each accessor returns the low 16 bits of its value.

  /// Full year, e.g. 2008.
  unsigned short GetYear() const;
  /// 1 = January ... 12 = December.
  unsigned short GetMonth() const;
  /// Day of the month, 1-31.
  unsigned short GetDay() const;
  /// Hour, 0-23.
  unsigned short GetHour() const;
  /// Minute, 0-59.
  unsigned short GetMinute() const;
  /// Second, 0-59.
  unsigned short GetSecond() const;
  /// 1 = Sunday ... 7 = Saturday.
  unsigned short GetDayOfWeek() const;
  /// 0 = 1 January ... 365.
  unsigned short GetDayOfYear() const;

  /// Chooses 24-hour (true, the initial setting) or 12-hour rendering of the hour tokens for every value.
  static void Set24Hours(bool twentyFour);
  /// Stores the language setting; nothing in the library reads it.
  static void SetLanguage(int language);

  static bool m_bTwentyFour;
  static int m_iLanguage;

  /// Comparisons of the full second counts as unsigned 32-bit numbers; fields that differ only in week
  /// day, year day or daylight flag compare equal. `other` is not changed.
  bool operator==(CNavTime& other) const;
  bool operator!=(CNavTime& other) const;
  bool operator<(CNavTime& other) const;
  bool operator>(CNavTime& other) const;
  bool operator<=(CNavTime& other) const;
  bool operator>=(CNavTime& other) const;

  /// The date-time `span` later (modulo 2^32: a complement span moves back).
  CNavTime operator+(CNavTimeSpan const& span) const;
  /// The date-time `span` earlier (modulo 2^32).
  CNavTime operator-(CNavTimeSpan const& span) const;
  /// Moves this value `span` later and normalises it; returns this value.
  CNavTime const& operator+=(CNavTimeSpan& span);
  /// Moves this value `span` earlier and normalises it; returns this value.
  CNavTime const& operator-=(CNavTimeSpan& span);
  /// The span from `other` to this value modulo 2^32: an earlier minus a later value gives the 2^32
  /// complement of the distance.
  CNavTimeSpan operator-(CNavTime const& other) const;
  /// A span of the sum of both second counts modulo 2^32.
  CNavTimeSpan operator+(CNavTime const& other) const;
  /// This value plus the zone's offset at this value (a zone west of Greenwich moves it back).
  CNavTime operator+(CNavTimeZone const& zone) const;
  /// This value minus the zone's offset at this value.
  CNavTime operator-(CNavTimeZone const& zone) const;
  /// Adds the zone's offset at this value in place; returns this value.
  CNavTime const& operator+=(CNavTimeZone& zone);
  /// Subtracts the zone's offset at this value in place; returns this value.
  CNavTime const& operator-=(CNavTimeZone& zone);

  /// Replaces `output` with `format` in which the tokens %H %h (hour, two-character and plain, 12- or
  /// 24-hour form), %M (minute), %S %s (second), %p (am/pm), %d (day), %j (year day from 0), %m (month),
  /// %w (week day from 1 = Sunday), %Y (full year) and %y (year minus 2000, two-character) are substituted,
  /// each token everywhere in table order, so a "%" before a produced "pm" forms a new "%p" ("%%p" gives
  /// "pmm"). Other text is copied unchanged. `output` and `format` may be the same string. When `output`
  /// cannot take the result (no memory, or a bound buffer too small) it keeps its previous text.
  void Format(String::StringProxy<String::ZuStringImpl>& output,
              String::StringProxy<String::ZuStringImpl> const& format);
  /// As above into `buffer`, always terminated and never more than `capacity` characters with the
  /// terminator: a longer result is cut to capacity - 1 characters. A null `format` gives the empty text;
  /// a null `buffer` or a capacity of 0 writes nothing. `format` may lie inside `buffer`.
  void Format(wchar_t* buffer, unsigned long capacity, wchar_t const* format);

  /// Writes the fields as "sec|min|hour|mday|mon|year|wday|yday" in plain decimal into `buffer` of
  /// `capacity` characters (terminator included). The buffer is first terminated at the end of its current
  /// text or at capacity - 1; when the text does not fit it is not written and the buffer keeps that cut
  /// text. A null buffer or a capacity of 0 is left alone.
  void Serialize(wchar_t* buffer, unsigned long capacity);
  /// Reads the eight fields of the form written by Serialize, stored as read without normalising; the
  /// daylight flag is kept. True when all eight fields were present; text after the eighth is ignored. On
  /// false (empty or null text, or fewer fields) the fields read before the end keep their new values. A
  /// malformed number reads as the value of its leading digits, or 0.
  bool Deserialize(wchar_t const* text);

 private:
  friend class NavValueAccess;

  void InitTime(unsigned long const& seconds);

  tm m_tmTime;
};
