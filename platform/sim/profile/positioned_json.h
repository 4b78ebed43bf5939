// JSON text parsed into a document together with the place where each member name and each value
// starts, so that a fault found later in the document can be reported by line and column.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "sim/profile/profile.h"

namespace sim::profile {

/// A line and column, both 1-based; the column counts characters, not bytes.
struct TextPosition {
  int line = 1;
  int column = 1;
};

/// A fault found while parsing: where it is, the member at fault (a JSON pointer, empty for a syntax
/// error) and what is wrong.
struct ParseFault {
  TextPosition position;
  std::string field;
  std::string message;
};

/// A parsed document with the positions of its members and values, keyed by JSON pointer.
class PositionedJson {
 public:
  /// Parses `text`. A syntax error, or an object that names a member twice, is stored in `fault`.
  PositionedJson(std::string_view text, std::optional<ParseFault>& fault);
  PositionedJson(const PositionedJson&) = delete;
  PositionedJson& operator=(const PositionedJson&) = delete;

  const Json& Document() const { return document_; }
  /// Where the value at `pointer` starts; the text's start when the pointer is unknown.
  TextPosition ValueAt(const std::string& pointer) const;
  /// Where the member name of `pointer` starts; the value's position for an array element.
  TextPosition NameAt(const std::string& pointer) const;

  /// `name` escaped as one JSON pointer reference token.
  static std::string Escape(std::string_view name);

 private:
  TextPosition PositionOf(std::size_t offset) const;

  std::string text_;
  Json document_;
  std::map<std::string, std::size_t> values_;
  std::map<std::string, std::size_t> names_;

  friend class PositionRecorder;
};

}  // namespace sim::profile
