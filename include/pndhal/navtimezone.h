// The exported time-zone value CNavTimeZone (base offset, daylight windows with their shifts, description)
// and the parts of the application's shared time-zone data that one is built from.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "pndhal/container.h"
#include "pndhal/export.h"
#include "pndhal/navtime.h"
#include "pndhal/zu_string.h"
#include "pndhal/zualloc.h"

namespace Thread {

/// Threading model of a shared reference count: every change is one interlocked operation.
struct MTModel {
  using Counter = std::atomic<std::int32_t>;
  /// Adds one; returns the new count.
  static std::int32_t Increment(Counter& counter) noexcept {
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  /// Takes one away; returns the new count. The release/acquire pairing makes every write to the shared
  /// object visible to the thread that brings the count to zero and destroys it.
  static std::int32_t Decrement(Counter& counter) noexcept {
    return counter.fetch_sub(1, std::memory_order_acq_rel) - 1;
  }
};

}  // namespace Thread

namespace SmartPtr {

/// An object of type T followed by its reference count, allocated through the in-house allocator. The
/// holder destroys the object and frees itself when the last reference is released.
template <class T, class Model>
class RefCounted {
 public:
  /// A new holder with one reference, its object built from `args`; null when memory runs out.
  template <class... Args>
  static RefCounted* Create(Args&&... args) noexcept {
    static_assert(std::is_nothrow_constructible_v<T, Args...>, "the shared object is built without throwing");
    void* memory = ZuAlloc(sizeof(RefCounted));
    if (memory == nullptr) {
      return nullptr;
    }
    return ::new (memory) RefCounted(std::forward<Args>(args)...);
  }

  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  /// The shared object.
  T& Get() noexcept { return m_object; }
  const T& Get() const noexcept { return m_object; }

  /// Adds a reference.
  void AddRef() noexcept { Model::Increment(m_iRefs); }
  /// Drops a reference; the last one destroys the object and frees the holder.
  void Release() noexcept {
    if (Model::Decrement(m_iRefs) == 0) {
      this->~RefCounted();
      ZuFree(this);
    }
  }
  /// The current count (a snapshot when other threads share the holder).
  std::int32_t RefCount() const noexcept { return m_iRefs.load(std::memory_order_relaxed); }

 private:
  template <class... Args>
  explicit RefCounted(Args&&... args) noexcept : m_object(std::forward<Args>(args)...) {}
  ~RefCounted() = default;

  T m_object;
  typename Model::Counter m_iRefs{1};
};

/// A counted reference to a RefCounted holder, or null.
template <class Holder>
class SharedPtr {
 public:
  SharedPtr() noexcept = default;
  /// Adopts the reference that `holder` was created with (null is allowed).
  explicit SharedPtr(Holder* holder) noexcept : m_pHolder(holder) {}
  /// Shares `other`'s holder, adding a reference.
  SharedPtr(const SharedPtr& other) noexcept : m_pHolder(other.m_pHolder) {
    if (m_pHolder != nullptr) {
      m_pHolder->AddRef();
    }
  }
  /// Takes over `other`'s reference; `other` becomes null.
  SharedPtr(SharedPtr&& other) noexcept : m_pHolder(std::exchange(other.m_pHolder, nullptr)) {}
  /// Shares or takes over `other`'s holder and drops the reference held before.
  SharedPtr& operator=(SharedPtr other) noexcept {
    std::swap(m_pHolder, other.m_pHolder);
    return *this;
  }
  /// Drops the reference held, if any.
  ~SharedPtr() { Reset(); }

  /// Drops the reference held, if any; the pointer becomes null.
  void Reset() noexcept {
    if (m_pHolder != nullptr) {
      std::exchange(m_pHolder, nullptr)->Release();
    }
  }

  /// The holder, or null.
  Holder* GetHolder() const noexcept { return m_pHolder; }
  /// The shared object; the pointer must not be null.
  auto* operator->() const noexcept { return &m_pHolder->Get(); }
  auto& operator*() const noexcept { return m_pHolder->Get(); }
  /// True unless the pointer is null.
  explicit operator bool() const noexcept { return m_pHolder != nullptr; }

 private:
  Holder* m_pHolder = nullptr;
};

/// A new shared T built from `args`, with one reference; null when memory runs out.
template <class T, class Model, class... Args>
SharedPtr<RefCounted<T, Model>> MakeShared(Args&&... args) noexcept {
  return SharedPtr<RefCounted<T, Model>>(RefCounted<T, Model>::Create(std::forward<Args>(args)...));
}

}  // namespace SmartPtr

namespace ZuCommon {

/// The daylight window of one year in the shared time-zone data.
struct TimeZoneYearRecord {
  std::uint16_t wReserved1;
  std::uint16_t wReserved2;
  std::uint16_t wMonth;         ///< month of the window start, 1-12
  std::uint16_t wDay;           ///< day of month of the window start
  std::uint16_t wHour;          ///< hour of the window start
  std::uint16_t wShiftMinutes;  ///< daylight shift in minutes
  std::uint16_t wDays;          ///< window length in whole days
};

/// Hash map from year to its daylight record: the bucket of a year is the year (as an unsigned 32-bit
/// number) modulo the bucket count, and the entries of a bucket are chained by index; an index of
/// kChainEnd or above ends a chain.
class TimeZoneYearMap {
 public:
  static constexpr std::uint32_t kChainEnd = 0x7FFFFFFE;
  /// What an empty bucket and the last entry of a chain hold.
  static constexpr std::uint32_t kNoEntry = 0x7FFFFFFF;

  /// Adds `record` for `year` unless the year is present. True when added; false when the year was present
  /// or memory ran out (the map is then unchanged).
  bool Insert(std::int32_t year, const TimeZoneYearRecord& record) {
    if (Find(year) != nullptr) {
      return false;
    }
    if (m_vecEntries.size() >= kChainEnd - 1) {
      return false;
    }
    if (m_vecEntries.size() >= m_vecBuckets.size() &&
        !Rehash(m_vecBuckets.empty() ? 8 : 2 * m_vecBuckets.size())) {
      return false;
    }
    std::uint32_t& head = m_vecBuckets[Bucket(year, m_vecBuckets.size())];
    if (!m_vecEntries.push_back(Entry{year, head, record})) {
      return false;
    }
    head = static_cast<std::uint32_t>(m_vecEntries.size() - 1);
    return true;
  }

  /// The record of `year`, or null. A chain index beyond the entries also ends the chain, and a chain is
  /// never followed for more steps than there are entries.
  const TimeZoneYearRecord* Find(std::int32_t year) const noexcept {
    if (m_vecBuckets.empty()) {
      return nullptr;
    }
    std::uint32_t index = m_vecBuckets[Bucket(year, m_vecBuckets.size())];
    for (std::size_t steps = 0;
         index < kChainEnd && index < m_vecEntries.size() && steps < m_vecEntries.size(); ++steps) {
      const Entry& entry = m_vecEntries[index];
      if (entry.iYear == year) {
        return &entry.record;
      }
      index = entry.uiNext;
    }
    return nullptr;
  }

  /// The number of years held.
  std::size_t size() const noexcept { return m_vecEntries.size(); }
  bool empty() const noexcept { return m_vecEntries.empty(); }

 private:
  struct Entry {
    std::int32_t iYear;
    std::uint32_t uiNext;
    TimeZoneYearRecord record;
  };

  static std::size_t Bucket(std::int32_t year, std::size_t buckets) noexcept {
    return static_cast<std::uint32_t>(year) % buckets;
  }

  // Rebuilds every chain over `count` buckets.
  bool Rehash(std::size_t count) {
    Container::ZuVector<std::uint32_t> buckets;
    if (!buckets.reserve(count)) {
      return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
      buckets.push_back(kNoEntry);
    }
    for (std::size_t i = 0; i < m_vecEntries.size(); ++i) {
      std::uint32_t& head = buckets[Bucket(m_vecEntries[i].iYear, count)];
      m_vecEntries[i].uiNext = head;
      head = static_cast<std::uint32_t>(i);
    }
    m_vecBuckets.Swap(buckets);
    return true;
  }

  Container::ZuVector<std::uint32_t> m_vecBuckets;
  Container::ZuVector<Entry> m_vecEntries;
};

/// The application's shared time-zone data, as far as this library reads it.
struct TimeZoneInfo {
  /// The zone's offset from UTC in tenths of an hour as decimal text ("10" is one hour, "-55" minus five
  /// and a half hours).
  String::StringProxy<String::ZuStringImpl> m_strOffset;
  /// The daylight window of each year.
  TimeZoneYearMap m_years;
};

}  // namespace ZuCommon

/// One daylight window: its start and its length in whole days.
struct TimeZoneRule {
  std::int32_t iYear;    ///< full year of the start, e.g. 2009
  std::int32_t iMonth;   ///< 1-12
  std::int32_t iDay;     ///< day of month
  std::int32_t iHour;    ///< 0-23
  std::int32_t iMinute;  ///< always 0 from the producers
  std::int32_t iDays;    ///< window length in days
};

/// A time zone: a base offset from UTC in hours, daylight windows each with its own shift in minutes, and
/// a free-text description. Its one computation is the offset at a given date-time (GetTimeSpan).
class PNDHAL_API CNavTimeZone {
 public:
  using TimeZoneInfoPtr = SmartPtr::SharedPtr<SmartPtr::RefCounted<ZuCommon::TimeZoneInfo, Thread::MTModel>>;

  /// An empty zone: offset 0, no windows, empty description.
  CNavTimeZone() noexcept;
  /// The zone of the descriptor text "TZ|<hours>|DY|1;<shift>;...;[(y<year>M<month>d<day>h<hour>) {<days>};
  /// ...]". A malformed descriptor leaves what was read before the fault: nothing when the "TZ|" head or
  /// the offset's "|" is missing, the base offset alone when the rest of the head or the "[" is missing, and
  /// both lists as read when their counts differ. A null text gives an empty zone.
  CNavTimeZone(wchar_t const* descriptor);  // NOLINT(google-explicit-constructor)
  /// Copies offset, windows, shifts and description; when memory runs out the copy has no windows.
  CNavTimeZone(CNavTimeZone const& other);
  /// Takes over the windows of `other` (left empty) and copies its offset and description.
  CNavTimeZone(CNavTimeZone&& other) noexcept;
  /// The zone of the shared data: the windows of consecutive years from the first year present between
  /// 2007 and 2030, and the offset text in tenths of an hour. A null pointer gives an empty zone. No
  /// reference to the data is kept.
  CNavTimeZone(TimeZoneInfoPtr info);  // NOLINT(google-explicit-constructor)
  /// Replaces everything with copies of `other`'s; when memory runs out this zone is left as it was.
  /// Returns this zone.
  CNavTimeZone const& operator=(CNavTimeZone const& other);
  /// Takes over the windows of `other` and copies its offset and description; returns this zone.
  CNavTimeZone& operator=(CNavTimeZone&& other) noexcept;
  /// Releases the windows and shifts.
  virtual ~CNavTimeZone();

  /// Writes into `span` the zone's offset at `time`: the base offset in whole minutes (hours times 60,
  /// rounded to the nearest minute: 5.5 counts as 5:30, 5.75 as 5:45) plus the shift of the first window
  /// (in stored order, stopping at the first that starts after `time`) that contains it, both ends
  /// included. A window without a shift adds nothing.
  void GetTimeSpan(CNavTime const& time, CNavTimeSpan& span) const;
  /// Copies the description with its terminator into `buffer` when it is shorter than `size` characters;
  /// otherwise the buffer receives the empty text. A null buffer or a size of 0 is left alone.
  void GetDescription(wchar_t* buffer, unsigned int size) const;
  /// Replaces the description; a null or empty text, or one longer than 511 characters, leaves it empty.
  void SetDescription(wchar_t const* text);

 private:
  friend class NavValueAccess;

  bool InitTimeZone(wchar_t const* descriptor);

  Container::ZuVector<TimeZoneRule> m_vecRules;
  Container::ZuVector<std::int32_t> m_vecShifts;
  float m_fBaseOffset;
  wchar_t m_szDescription[512];
};
