#include "xml/text_value.h"

#include "core/text.h"

namespace sbrep {

void TextValue::Add(std::string_view data) {
  if (too_long_) return;
  std::size_t i = 0;
  const std::size_t n = data.size();
  while (i < n) {
    // A run of blanks: dropped at the start, held at the end.
    std::size_t end = i;
    while (end < n && IsXmlSpace(data[end])) ++end;
    if (end > i) {
      if (!text_.empty()) {
        if (pending_.size() + (end - i) > kMaxValueBytes) {
          pending_.resize(kMaxValueBytes + 1, ' ');
        } else {
          pending_.append(data.substr(i, end - i));
        }
      }
      i = end;
      continue;
    }
    // A run of other characters, which keeps the blanks before it.
    while (end < n && !IsXmlSpace(data[end])) ++end;
    if (text_.size() + pending_.size() + (end - i) > kMaxValueBytes) {
      too_long_ = true;
      return;
    }
    text_ += pending_;
    pending_.clear();
    text_.append(data.substr(i, end - i));
    i = end;
  }
}

void TextValue::Clear() {
  text_.clear();
  pending_.clear();
  too_long_ = false;
}

}  // namespace sbrep
