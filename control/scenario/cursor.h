// Reading the words of one scenario line in order, each reader throwing a SyntaxError that names the
// column, what was expected there and, for a near miss, the word that was probably meant.
#pragma once

#include <chrono>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer.h"
#include "names.h"

namespace scenario {

class Cursor {
 public:
  /// `folder` is the folder of the script the line comes from, against which relative file names are
  /// resolved; empty for a line of no file (the console's), whose names stay as written.
  Cursor(std::vector<Word> words, int endColumn, std::string folder = {})
      : words_(std::move(words)), endColumn_(endColumn), folder_(std::move(folder)) {}

  /// The folder of the script the line comes from; empty for a line of no file.
  const std::string& Folder() const { return folder_; }

  bool AtEnd() const { return next_ >= words_.size(); }
  /// The next word without taking it; empty at the end.
  std::string_view Peek() const {
    return AtEnd() ? std::string_view() : std::string_view(words_[next_].text);
  }
  /// The column of the next word, or of the line's end.
  int Column() const { return AtEnd() ? endColumn_ : words_[next_].column; }

  /// Takes the next word; `expected` says what it should be when there is none.
  const Word& Take(std::string_view expected);
  /// Takes the next word when it is `word` (without regard to case).
  bool TakeIf(std::string_view word);
  /// Takes one of `choices` and returns its index.
  std::size_t Choice(std::initializer_list<std::string_view> choices);
  std::size_t Choice(std::span<const std::string_view> choices);
  /// Takes an integer (decimal or 0x hexadecimal) from `min` to `max`.
  long Integer(long min, long max, std::string_view what);
  /// Takes a name of `table` or, when `numbers`, a number from `min` to `max`.
  long Named(const NameTable& table, bool numbers = true, long min = -2147483648L, long max = 2147483647L);
  /// Takes a duration: a number with ms, s or min ("250ms", "1.5s", "2min").
  std::chrono::duration<double, std::milli> Duration();
  /// Takes "on"/"off" (also true/false, yes/no).
  bool OnOff();
  /// Requires the end of the line.
  void End() const;

  /// Throws a SyntaxError at the column of the word taken last.
  [[noreturn]] void FailAtLast(const std::string& message) const;

  /// Throws a SyntaxError at the next word: "expected EXPECTED, got 'WORD'", then `hint` when given, else
  /// "did you mean ...?" when the word is close to one of `candidates`.
  [[noreturn]] void Fail(std::string_view expected, std::span<const std::string> candidates = {},
                         const std::string& hint = {}) const;

 private:
  std::vector<Word> words_;
  std::size_t next_ = 0;
  int endColumn_;
  std::string folder_;
};

/// Parses an integer the way Cursor::Integer does; false when `text` is not one.
bool ParseInteger(std::string_view text, long& value);

}  // namespace scenario
