// The token substitution behind the Format operations of the date-time and span classes, in one pass over
// the format text, writing into a caller's buffer or into a string.
//
// The result equals substituting the tokens of a class's table one after another, each occurrence found by
// searching the whole text again from its start, because a replacement never holds a "%": the only token a
// replacement can form is the one whose replacement starts with its own letter ("%p" giving "pm"), with a
// "%" directly before the replaced token. So a run of k "%" followed by a letter is the text of the last
// "%" and the letter as a token, preceded by k - 1 literal "%"; when the replacement R starts with the
// letter, each earlier "%" of the run re-forms the token in turn, giving R followed by k - 1 copies of R
// without its first character ("%%p" gives "pmm").
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "pndhal/zu_string.h"
#include "pndhal/zualloc.h"
#include "time/decimal_text.h"

namespace pndhal::timevalues {

/// Room for the longest replacement text of any token.
inline constexpr std::size_t kMaxReplacement = kMaxDecimalLength;

/// Writes the first `room` characters of the output to `out` and counts the full output length. With
/// `stopWhenFull` the substitution ends as soon as the room is used up.
template <bool stopWhenFull>
class PrefixSink {
 public:
  PrefixSink(wchar_t* out, std::size_t room) noexcept
      : begin_(out),
        cursor_(out),
        end_(out + room),
        roomy_(room > kMaxReplacement ? out + room - kMaxReplacement : out) {}

  void Put(const wchar_t* text, std::size_t count) noexcept {
    const std::size_t fits = Fits(count);
    for (std::size_t i = 0; i < fits; ++i) {
      cursor_[i] = text[i];
    }
    cursor_ += fits;
    beyond_ += count - fits;
  }
  void Repeat(wchar_t character, std::size_t count) noexcept {
    const std::size_t fits = Fits(count);
    for (std::size_t i = 0; i < fits; ++i) {
      cursor_[i] = character;
    }
    cursor_ += fits;
    beyond_ += count - fits;
  }
  bool Done() const noexcept { return stopWhenFull && cursor_ == end_; }
  std::size_t Written() const noexcept { return static_cast<std::size_t>(cursor_ - begin_); }
  std::size_t Total() const noexcept { return Written() + beyond_; }

  /// Before RoomyEnd(), kMaxReplacement characters can be written at a position without a check; Advance
  /// then accounts for those written at Cursor().
  wchar_t* RoomyEnd() const noexcept { return roomy_; }
  wchar_t* Cursor() const noexcept { return cursor_; }
  void Advance(std::size_t count) noexcept { cursor_ += count; }

 private:
  std::size_t Fits(std::size_t count) const noexcept {
    const auto room = static_cast<std::size_t>(end_ - cursor_);
    return count < room ? count : room;
  }

  wchar_t* const begin_;
  wchar_t* cursor_;
  wchar_t* const end_;
  wchar_t* const roomy_;
  std::size_t beyond_ = 0;  // characters of the result past the room
};

/// A format text of known length, which may hold NUL characters (the string form). The character after
/// its end must be readable: the in-house string keeps a terminator there.
class CountedText {
 public:
  explicit CountedText(const wchar_t* end) noexcept : end_(end) {}
  bool AtEnd(const wchar_t* position) const noexcept { return position == end_; }

 private:
  const wchar_t* end_;
};

/// A NUL-terminated format text (the buffer form).
class TerminatedText {
 public:
  bool AtEnd(const wchar_t* position) const noexcept { return *position == L'\0'; }
};

/// Runs the substitution of `renderer`'s tokens over `text` into `sink`, from `next` until the end of the
/// text or until a sink with stopWhenFull is full; returns where the reading stopped. The renderer's
/// `Render(letter, out)` writes the replacement of the token "%" + letter (at most kMaxReplacement
/// characters) and returns its length, or returns 0 when the letter forms no token.
template <class Renderer, class Text, class Sink>
const wchar_t* Substitute(const Renderer& renderer, const wchar_t* next, const Text& text, Sink& sink) {
  while (!text.AtEnd(next) && !sink.Done()) {
    // Literal characters and lone tokens, while the sink has room for any replacement.
    wchar_t* out = sink.Cursor();
    wchar_t* const roomy = sink.RoomyEnd();
    while (out < roomy && !text.AtEnd(next)) {
      const wchar_t character = *next;
      if (character == L'%') {
        // The character after a "%" is readable: at worst it is the terminator, which forms no token.
        const wchar_t letter = next[1];
        if (letter == L'%') {
          break;
        }
        const std::size_t count = renderer.Render(letter, out);
        if (count != 0) {
          out += count;
          next += 2;
          continue;
        }
      }
      *out++ = character;
      ++next;
    }
    sink.Advance(static_cast<std::size_t>(out - sink.Cursor()));
    if (text.AtEnd(next) || sink.Done()) {
      break;
    }
    // One step with every check: a literal character or a run of "%" near the end of the room, or a run
    // of more than one "%".
    if (*next != L'%') {
      sink.Put(next++, 1);
      continue;
    }
    const wchar_t* letter = next + 1;
    while (!text.AtEnd(letter) && *letter == L'%') {
      ++letter;
    }
    const auto run = static_cast<std::size_t>(letter - next);
    wchar_t replacement[kMaxReplacement];
    const std::size_t count = text.AtEnd(letter) ? 0 : renderer.Render(*letter, replacement);
    if (count == 0) {
      sink.Repeat(L'%', run);
      next = letter;
    } else if (replacement[0] == *letter) {
      sink.Put(replacement, count);
      for (std::size_t k = 1; k < run && !sink.Done(); ++k) {
        sink.Put(replacement + 1, count - 1);
      }
      next = letter + 1;
    } else {
      sink.Repeat(L'%', run - 1);
      sink.Put(replacement, count);
      next = letter + 1;
    }
  }
  return next;
}

/// The buffer form of Format: the result cut to capacity - 1 characters and terminated. A null format
/// gives the empty text; a null buffer or a capacity of 0 is left alone. A format that lies in the buffer
/// is copied aside first (when that copy cannot be had the buffer receives the empty text).
template <class Renderer>
void FormatIntoBuffer(const Renderer& renderer, wchar_t* buffer, unsigned long capacity,
                      const wchar_t* format) {
  if (buffer == nullptr || capacity == 0) {
    return;
  }
  if (format == nullptr) {
    buffer[0] = L'\0';
    return;
  }
  const std::size_t length = std::wcslen(format);
  const std::uintptr_t formatBegin = reinterpret_cast<std::uintptr_t>(format);
  const std::uintptr_t bufferBegin = reinterpret_cast<std::uintptr_t>(buffer);
  const std::uintptr_t bufferBytes =
      capacity > UINTPTR_MAX / sizeof(wchar_t) ? UINTPTR_MAX : capacity * sizeof(wchar_t);
  const std::uintptr_t bufferEnd =
      UINTPTR_MAX - bufferBegin < bufferBytes ? UINTPTR_MAX : bufferBegin + bufferBytes;
  const bool overlaps = formatBegin < bufferEnd && bufferBegin <= formatBegin + length * sizeof(wchar_t);
  wchar_t* copy = nullptr;
  if (overlaps) {
    copy = static_cast<wchar_t*>(ZuAlloc((length + 1) * sizeof(wchar_t)));
    if (copy == nullptr) {
      buffer[0] = L'\0';
      return;
    }
    std::wmemcpy(copy, format, length + 1);
    format = copy;
  }
  PrefixSink<true> sink(buffer, capacity - 1);
  Substitute(renderer, format, TerminatedText(), sink);
  buffer[sink.Written()] = L'\0';
  if (copy != nullptr) {
    ZuFree(copy);
  }
}

/// The string form of Format: `output` receives the whole result, or keeps its text when it cannot take
/// it. Short results are built on the stack; longer ones are measured first and built once in a buffer of
/// their exact size, so the work stays linear in the length of the format text.
template <class Renderer>
void FormatIntoString(const Renderer& renderer, String::StringProxy<String::ZuStringImpl>& output,
                      const String::StringProxy<String::ZuStringImpl>& format) {
  constexpr std::size_t kLocalRoom = 256;
  wchar_t local[kLocalRoom];
  const CountedText text(format.c_str() + format.length());
  PrefixSink<false> measure(local, kLocalRoom);
  Substitute(renderer, format.c_str(), text, measure);
  const std::size_t total = measure.Total();
  if (total <= kLocalRoom) {
    output.Assign(local, total);
    return;
  }
  if (total > SIZE_MAX / sizeof(wchar_t)) {
    return;
  }
  auto* built = static_cast<wchar_t*>(ZuAlloc(total * sizeof(wchar_t)));
  if (built == nullptr) {
    return;
  }
  PrefixSink<false> sink(built, total);
  Substitute(renderer, format.c_str(), text, sink);
  output.Assign(built, total);
  ZuFree(built);
}

}  // namespace pndhal::timevalues
