// Cuts a console client's byte stream into command lines of bounded length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pndconsole::protocol {

/// One framed line, or the mark of a line that went beyond the limit (its text is discarded).
struct FramedLine {
  bool tooLong = false;
  std::string text;
};

/// Splits bytes at '\n' (a '\r' before it is dropped). A line longer than the limit is reported once, as
/// tooLong, and its remaining bytes up to the next '\n' are skipped, so a flood without line ends holds
/// at most `limit` bytes.
class LineFramer {
 public:
  explicit LineFramer(std::size_t limit) : limit_(limit) {}

  /// Appends received bytes to `lines`, one entry per completed or over-long line.
  void Feed(std::string_view bytes, std::vector<FramedLine>& lines) {
    for (char byte : bytes) {
      if (byte == '\n') {
        if (!skipping_) {
          if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
          lines.push_back({false, std::move(partial_)});
        }
        partial_.clear();
        skipping_ = false;
      } else if (!skipping_) {
        // One byte beyond the limit is allowed when it is the '\r' of a "\r\n" line end.
        if (partial_.size() > limit_ || (partial_.size() == limit_ && byte != '\r')) {
          lines.push_back({true, {}});
          partial_.clear();
          skipping_ = true;
        } else {
          partial_ += byte;
        }
      }
    }
  }

 private:
  std::size_t limit_;
  std::string partial_;
  bool skipping_ = false;
};

}  // namespace pndconsole::protocol
