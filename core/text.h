// What counts as blank in a text. Two senses, kept apart: a value typed by a
// person (a registry value, an invoice field, a header field) may carry any
// space or control byte at its ends; XML's own white space is four
// characters, and only they may stand between markup.
#pragma once

#include <cstddef>
#include <string_view>

namespace sbrep {

// A space or a control byte: code 32 or less.
constexpr bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// True when every byte of `text` is blank; empty text is.
constexpr bool AllBlank(std::string_view text) {
  for (const char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

// `text` less its blank bytes at both ends.
constexpr std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// XML's white space: space, tab, CR and LF.
constexpr bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// True when `text` is XML white space alone; empty text is.
constexpr bool AllXmlSpace(std::string_view text) {
  for (const char c : text) {
    if (!IsXmlSpace(c)) return false;
  }
  return true;
}

}  // namespace sbrep
