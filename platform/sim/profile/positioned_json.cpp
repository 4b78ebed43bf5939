// Parsing JSON with positions: the library's event parser reads the text through an iterator that
// counts what was read, and each event notes where its token starts under the member's JSON pointer.
#include "sim/profile/positioned_json.h"

#include <iterator>
#include <set>
#include <vector>

namespace sim::profile {
namespace {

// A character iterator that tells how far the parser has read.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* begin, const char* at, std::size_t* consumed)
      : begin_(begin), at_(at), consumed_(consumed) {}

  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    *consumed_ = static_cast<std::size_t>(at_ - begin_);
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

 private:
  const char* begin_;
  const char* at_;
  std::size_t* consumed_;
};

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ':'; }

// The part of the library's parse error message after its own "line L, column C: " prefix.
std::string SyntaxMessage(const std::string& what) {
  const std::size_t column = what.find(", column ");
  const std::size_t colon = column == std::string::npos ? what.find(": ") : what.find(": ", column);
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

}  // namespace

// Receives the parser's events, builds the document through the library's own builder and notes the
// start of each token. A token starts at the first character after the previous event's end that is
// not white space or a separator; a number's look-ahead character is one of those, so it does no harm.
class PositionRecorder {
 public:
  PositionRecorder(PositionedJson& target, const std::size_t& consumed)
      : target_(target), consumed_(consumed), builder_(target.document_, false) {}

  bool null() {
    NoteValue();
    return builder_.null();
  }
  bool boolean(bool value) {
    NoteValue();
    return builder_.boolean(value);
  }
  bool number_integer(Json::number_integer_t value) {
    NoteValue();
    return builder_.number_integer(value);
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    NoteValue();
    return builder_.number_unsigned(value);
  }
  bool number_float(Json::number_float_t value, const Json::string_t& text) {
    NoteValue();
    return builder_.number_float(value, text);
  }
  bool string(Json::string_t& value) {
    NoteValue();
    return builder_.string(value);
  }
  bool binary(Json::binary_t& value) {
    NoteValue();
    return builder_.binary(value);
  }
  bool start_object(std::size_t count) {
    frames_.push_back(Frame{NoteValue(), false, 0, {}, {}});
    return builder_.start_object(count);
  }
  bool key(Json::string_t& name) {
    const std::size_t start = TokenStart();
    Frame& frame = frames_.back();
    const std::string pointer = frame.pointer + "/" + PositionedJson::Escape(name);
    target_.names_[pointer] = start;
    if (!frame.names.insert(name).second) {
      fault_ = ParseFault{target_.PositionOf(start), pointer, "member named twice"};
      return false;
    }
    frame.key = name;
    return builder_.key(name);
  }
  bool end_object() {
    frames_.pop_back();
    end_ = consumed_;
    return builder_.end_object();
  }
  bool start_array(std::size_t count) {
    frames_.push_back(Frame{NoteValue(), true, 0, {}, {}});
    return builder_.start_array(count);
  }
  bool end_array() {
    frames_.pop_back();
    end_ = consumed_;
    return builder_.end_array();
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    const auto* syntax = dynamic_cast<const nlohmann::detail::parse_error*>(&error);
    const std::size_t offset = syntax != nullptr && syntax->byte > 0 ? syntax->byte - 1 : consumed_;
    fault_ = ParseFault{target_.PositionOf(offset), {}, SyntaxMessage(error.what())};
    return false;
  }

  std::optional<ParseFault>& Fault() { return fault_; }

 private:
  struct Frame {
    std::string pointer;
    bool array;
    std::size_t index;
    std::string key;
    std::set<std::string> names;
  };

  std::size_t TokenStart() {
    std::size_t start = end_;
    const std::string& text = target_.text_;
    while (start < text.size() && IsSeparator(text[start])) ++start;
    end_ = consumed_;
    return start;
  }

  // Notes where the value now read starts, under its pointer, and returns the pointer.
  std::string NoteValue() {
    std::string pointer;
    if (!frames_.empty()) {
      Frame& frame = frames_.back();
      pointer = frame.pointer + "/" +
                (frame.array ? std::to_string(frame.index++) : PositionedJson::Escape(frame.key));
    }
    target_.values_[pointer] = TokenStart();
    return pointer;
  }

  PositionedJson& target_;
  const std::size_t& consumed_;
  nlohmann::detail::json_sax_dom_parser<Json> builder_;
  std::vector<Frame> frames_;
  std::size_t end_ = 0;
  std::optional<ParseFault> fault_;
};

PositionedJson::PositionedJson(std::string_view text, std::optional<ParseFault>& fault) : text_(text) {
  std::size_t consumed = 0;
  PositionRecorder recorder(*this, consumed);
  const char* begin = text_.data();
  const char* end = begin + text_.size();
  Json::sax_parse(CountingIterator(begin, begin, &consumed), CountingIterator(begin, end, &consumed),
                  &recorder);
  fault = recorder.Fault();
}

TextPosition PositionedJson::ValueAt(const std::string& pointer) const {
  const auto found = values_.find(pointer);
  return PositionOf(found == values_.end() ? 0 : found->second);
}

TextPosition PositionedJson::NameAt(const std::string& pointer) const {
  const auto found = names_.find(pointer);
  return found == names_.end() ? ValueAt(pointer) : PositionOf(found->second);
}

std::string PositionedJson::Escape(std::string_view name) {
  std::string escaped;
  for (const char c : name) {
    if (c == '~') {
      escaped += "~0";
    } else if (c == '/') {
      escaped += "~1";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

TextPosition PositionedJson::PositionOf(std::size_t offset) const {
  TextPosition position;
  for (std::size_t i = 0; i < offset && i < text_.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text_[i]);
    if (byte == '\n') {
      ++position.line;
      position.column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      ++position.column;
    }
  }
  return position;
}

}  // namespace sim::profile
