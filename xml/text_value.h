// The text of a node as the export's readers take it: the data of its text
// and CDATA descendants in document order (runs of text that are white space
// alone count for nothing), with space, tab, CR and LF removed at both ends.
// It holds at most kMaxValueBytes, so that no value can grow with the export.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sbrep {

// The longest value a reader takes, in bytes of UTF-8. A table field holds a
// figure or a short name; anything near this is not one.
constexpr std::size_t kMaxValueBytes = std::size_t{64} << 10;

class TextValue {
 public:
  // The next piece of data, as the pass delivers it.
  void Add(std::string_view data);
  void Clear();

  // The text so far, trimmed; meaningful unless too_long().
  const std::string& text() const { return text_; }
  bool too_long() const { return too_long_; }

 private:
  std::string text_;     // never starts or ends with a blank
  std::string pending_;  // blanks after the text, kept until more text follows
  bool too_long_ = false;
};

}  // namespace sbrep
