// The in-house wide string value that appears in the exported signatures. It
// either owns a buffer from the in-house allocator or is bound to a buffer
// its caller supplied, which it never reallocates or frees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "pndhal/zualloc.h"

namespace String {

/// Storage policy tag of the in-house string.
struct ZuStringImpl;

template <class Impl>
class StringProxy;

/// A wide string value. Edits report false and leave the text unchanged when
/// memory runs out or, for a string bound to a caller's buffer, when the
/// result would not fit that buffer.
template <>
class StringProxy<ZuStringImpl> {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  StringProxy() noexcept = default;
  /// A copy of `text` (null reads as the empty text); empty if memory runs out.
  StringProxy(const wchar_t* text) { Assign(text); }  // NOLINT(google-explicit-constructor)
  StringProxy(const wchar_t* text, std::size_t count) { Assign(text, count); }
  StringProxy(const StringProxy& other) { Assign(other.c_str(), other.length()); }
  StringProxy(StringProxy&& other) noexcept { Swap(other); }
  ~StringProxy() { FreeStorage(); }

  StringProxy& operator=(const StringProxy& other) {
    if (this != &other) Assign(other.c_str(), other.length());
    return *this;
  }
  StringProxy& operator=(StringProxy&& other) noexcept {
    if (this != &other) {
      StringProxy moved(static_cast<StringProxy&&>(other));
      Swap(moved);
    }
    return *this;
  }
  StringProxy& operator=(const wchar_t* text) {
    Assign(text);
    return *this;
  }

  /// Replaces the whole text with `text` (null reads as the empty text).
  bool Assign(const wchar_t* text) { return Assign(text, text == nullptr ? 0 : std::wcslen(text)); }
  /// Replaces the whole text with the first `count` units of `text`.
  bool Assign(const wchar_t* text, std::size_t count) { return Replace(0, length_, text, count); }

  bool Append(const wchar_t* text) { return Append(text, text == nullptr ? 0 : std::wcslen(text)); }
  bool Append(const wchar_t* text, std::size_t count) { return Replace(length_, 0, text, count); }
  StringProxy& operator+=(const wchar_t* text) {
    Append(text);
    return *this;
  }

  /// Replaces `count` units from `position` (both cut to the text) by the
  /// first `textCount` units of `text`.
  bool Replace(std::size_t position, std::size_t count, const wchar_t* text, std::size_t textCount) {
    if (position > length_) position = length_;
    if (count > length_ - position) count = length_ - position;
    if (text == nullptr) textCount = 0;
    const std::size_t kept = length_ - count;
    if (textCount > kMaxLength - kept) return false;
    const std::size_t needed = kept + textCount;
    const bool overlaps =
        textCount != 0 && buffer_ != nullptr && text < buffer_ + Capacity() && buffer_ < text + textCount;
    if (needed < Capacity() && !overlaps) {
      std::wmemmove(buffer_ + position + textCount, buffer_ + position + count, length_ - position - count);
      if (textCount != 0) std::wmemcpy(buffer_ + position, text, textCount);
      SetLength(needed);
      return true;
    }
    if (needed == 0 && buffer_ == nullptr) return true;  // the empty text needs no buffer
    if (IsBound()) {
      // A caller's buffer never moves: an edit must fit it. An overlapping
      // source is copied aside first.
      if (needed >= Capacity()) return false;
      StringProxy source(text, textCount);
      if (source.length() != textCount) return false;
      return Replace(position, count, source.c_str(), textCount);
    }
    std::size_t capacity = (needed + 1 + 15) / 16 * 16;
    auto* grown = static_cast<wchar_t*>(ZuAlloc(capacity * sizeof(wchar_t)));
    if (grown == nullptr) {
      capacity = needed + 1;
      grown = static_cast<wchar_t*>(ZuAlloc(capacity * sizeof(wchar_t)));
      if (grown == nullptr) return false;
    }
    if (position != 0) std::wmemcpy(grown, buffer_, position);
    if (textCount != 0) std::wmemcpy(grown + position, text, textCount);
    std::wmemcpy(grown + position + textCount, buffer_ + position + count, length_ - position - count);
    ZuFree(buffer_);
    buffer_ = grown;
    capacityWord_ = (capacityWord_ & ~kCapacityMask) | static_cast<std::uint32_t>(capacity);
    SetLength(needed);
    return true;
  }

  /// Position of the first exact occurrence of `text` at or after `from`, or
  /// npos. The empty text is found at `from` when `from` is within the text.
  std::size_t Find(const wchar_t* text, std::size_t from = 0) const noexcept {
    const std::size_t count = text == nullptr ? 0 : std::wcslen(text);
    return Find(text, count, from);
  }
  std::size_t Find(const StringProxy& text, std::size_t from = 0) const noexcept {
    return Find(text.c_str(), text.length(), from);
  }
  std::size_t Find(const wchar_t* text, std::size_t count, std::size_t from) const noexcept {
    if (from > length_ || count > length_ - from) return npos;
    const wchar_t* data = c_str();
    for (std::size_t i = from; i + count <= length_; ++i) {
      if (std::wmemcmp(data + i, text, count) == 0) return i;
    }
    return npos;
  }

  /// A narrow copy keeping the low byte of each unit, cached until the next
  /// edit. Null when narrow copies are disabled or memory runs out.
  const char* Narrow() const {
    if ((capacityWord_ & kNoNarrow) != 0) return nullptr;
    if (narrow_ == nullptr) {
      narrow_ = static_cast<char*>(ZuAlloc(length_ + 1));
      if (narrow_ == nullptr) return nullptr;
      const wchar_t* data = c_str();
      for (std::size_t i = 0; i < length_; ++i) narrow_[i] = static_cast<char>(data[i] & 0xFF);
      narrow_[length_] = '\0';
    }
    return narrow_;
  }
  /// Forbids (or allows again) narrow copies of this string.
  void SetNoNarrow(bool forbidden) noexcept {
    DropNarrow();
    capacityWord_ = forbidden ? capacityWord_ | kNoNarrow : capacityWord_ & ~kNoNarrow;
  }

  /// Binds the string to `buffer` of `capacity` units, which the caller owns.
  /// The string's text becomes the buffer's text up to its terminator or to
  /// capacity - 1 units, where a terminator is written. Later edits stay in
  /// the buffer or are refused. A null buffer or a capacity of 0 binds nothing
  /// and leaves the string empty.
  void Bind(wchar_t* buffer, std::size_t capacity) noexcept {
    FreeStorage();
    buffer_ = nullptr;
    capacityWord_ &= kNoNarrow;
    length_ = 0;
    if (buffer == nullptr || capacity == 0) return;
    if (capacity > kCapacityMask) capacity = kCapacityMask;
    std::size_t length = 0;
    while (length < capacity - 1 && buffer[length] != L'\0') ++length;
    buffer[length] = L'\0';
    buffer_ = buffer;
    capacityWord_ |= kNotOwned | static_cast<std::uint32_t>(capacity);
    length_ = static_cast<std::uint32_t>(length);
  }
  /// Forgets a bound buffer without freeing it; the string becomes empty.
  void Release() noexcept {
    if (!IsBound()) return;
    DropNarrow();
    buffer_ = nullptr;
    capacityWord_ &= kNoNarrow;
    length_ = 0;
  }
  bool IsBound() const noexcept { return (capacityWord_ & kNotOwned) != 0; }

  std::size_t length() const noexcept { return length_; }
  std::size_t size() const noexcept { return length_; }
  bool empty() const noexcept { return length_ == 0; }
  /// Room in units, terminator included (0 when no buffer is held).
  std::size_t capacity() const noexcept { return Capacity(); }
  /// The text, terminated; never null.
  const wchar_t* c_str() const noexcept { return buffer_ != nullptr ? buffer_ : L""; }
  wchar_t operator[](std::size_t index) const noexcept { return c_str()[index]; }

  friend bool operator==(const StringProxy& a, const StringProxy& b) noexcept {
    return a.length_ == b.length_ && std::wmemcmp(a.c_str(), b.c_str(), a.length_) == 0;
  }
  friend bool operator==(const StringProxy& a, const wchar_t* b) noexcept {
    return std::wcscmp(a.c_str(), b == nullptr ? L"" : b) == 0;
  }
  friend bool operator<(const StringProxy& a, const StringProxy& b) noexcept {
    return std::wcscmp(a.c_str(), b.c_str()) < 0;
  }

  void Swap(StringProxy& other) noexcept {
    auto swap = [](auto& x, auto& y) {
      auto t = x;
      x = y;
      y = t;
    };
    swap(buffer_, other.buffer_);
    swap(narrow_, other.narrow_);
    swap(capacityWord_, other.capacityWord_);
    swap(length_, other.length_);
  }

 private:
  static constexpr std::uint32_t kCapacityMask = 0x0FFFFFFFu;
  static constexpr std::uint32_t kNoNarrow = 1u << 29;
  static constexpr std::uint32_t kNotOwned = 3u << 30;
  static constexpr std::size_t kMaxLength = kCapacityMask - 1;

  std::size_t Capacity() const noexcept { return capacityWord_ & kCapacityMask; }

  void SetLength(std::size_t length) noexcept {
    DropNarrow();
    length_ = static_cast<std::uint32_t>(length);
    if (buffer_ != nullptr) buffer_[length_] = L'\0';
  }

  void DropNarrow() const noexcept {
    ZuFree(narrow_);
    narrow_ = nullptr;
  }

  void FreeStorage() noexcept {
    DropNarrow();
    if (!IsBound()) ZuFree(buffer_);
  }

  wchar_t* buffer_ = nullptr;
  mutable char* narrow_ = nullptr;
  std::uint32_t capacityWord_ = 0;
  std::uint32_t length_ = 0;
};

}  // namespace String
