// The prolog guard. It reads the prolog as a sequence of code units (bytes for
// the ASCII-compatible encodings, 16-bit units for UTF-16), so one scanner
// serves every encoding family a parser could be handed.
#include "xml/prolog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/error.h"

namespace sbrep {
namespace {

enum class Family { kAscii, kUtf16Le, kUtf16Be };

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

unsigned char Byte(const std::string& bytes, std::size_t i) {
  return static_cast<unsigned char>(bytes[i]);
}

// The bytes as code units of one family, after any byte order mark.
class Units {
 public:
  Units(std::string& bytes, Family family, std::size_t skip)
      : bytes_(bytes), family_(family), skip_(skip) {
    const std::size_t width = family == Family::kAscii ? 1 : 2;
    size_ = (bytes.size() - skip) / width;
  }

  std::size_t size() const { return size_; }
  Family family() const { return family_; }

  std::uint32_t At(std::size_t i) const {
    switch (family_) {
      case Family::kAscii:
        return Byte(bytes_, skip_ + i);
      case Family::kUtf16Le:
        return Byte(bytes_, skip_ + 2 * i) | (Byte(bytes_, skip_ + 2 * i + 1) << 8);
      case Family::kUtf16Be:
        return (Byte(bytes_, skip_ + 2 * i) << 8) | Byte(bytes_, skip_ + 2 * i + 1);
    }
    return 0;
  }

  void Set(std::size_t i, std::uint32_t unit) {
    switch (family_) {
      case Family::kAscii:
        bytes_[skip_ + i] = static_cast<char>(unit);
        break;
      case Family::kUtf16Le:
        bytes_[skip_ + 2 * i] = static_cast<char>(unit & 0xFF);
        bytes_[skip_ + 2 * i + 1] = static_cast<char>(unit >> 8);
        break;
      case Family::kUtf16Be:
        bytes_[skip_ + 2 * i] = static_cast<char>(unit >> 8);
        bytes_[skip_ + 2 * i + 1] = static_cast<char>(unit & 0xFF);
        break;
    }
  }

  // Whether the ASCII text `text` starts at unit `i`.
  bool Matches(std::size_t i, std::string_view text) const {
    if (i > size_ || size_ - i < text.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (At(i + k) != static_cast<unsigned char>(text[k])) return false;
    }
    return true;
  }

  // The position of the next `text` at or after `i`, or kNone.
  std::size_t Find(std::size_t i, std::string_view text) const {
    for (; i < size_; ++i) {
      if (Matches(i, text)) return i;
    }
    return kNone;
  }

  // The position just past the literal opened by the quote at `i`, or kNone.
  std::size_t SkipLiteral(std::size_t i) const {
    const std::uint32_t quote = At(i);
    for (++i; i < size_; ++i) {
      if (At(i) == quote) return i + 1;
    }
    return kNone;
  }

  // The 1-based line of unit `i`.
  std::size_t LineOf(std::size_t i) const {
    std::size_t line = 1;
    for (std::size_t k = 0; k < i && k < size_; ++k) {
      if (At(k) == '\n') ++line;
    }
    return line;
  }

  // The ASCII text of units [from, to); other units become '?'.
  std::string Text(std::size_t from, std::size_t to) const {
    std::string text;
    for (std::size_t k = from; k < to; ++k) {
      const std::uint32_t unit = At(k);
      text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return text;
  }

 private:
  std::string& bytes_;
  Family family_;
  std::size_t skip_;
  std::size_t size_;
};

bool IsSpace(std::uint32_t unit) {
  return unit == ' ' || unit == '\t' || unit == '\r' || unit == '\n';
}

bool IsQuote(std::uint32_t unit) { return unit == '"' || unit == '\''; }

// Picks the family from the byte order mark or the first bytes. Only families
// whose markup characters this scanner can see are accepted; for any other a
// DOCTYPE could pass unseen.
Family Detect(const std::string& bytes, std::size_t* skip) {
  *skip = 0;
  const std::size_t n = bytes.size();
  auto starts = [&](std::initializer_list<unsigned> prefix) {
    if (n < prefix.size()) return false;
    std::size_t i = 0;
    for (const unsigned b : prefix) {
      if (Byte(bytes, i++) != b) return false;
    }
    return true;
  };
  // A document begins with '<', white space or a mark, never with NUL, so a
  // pair of zero bytes in either half of the first four is 32-bit units, in
  // whichever byte order.
  if (n >= 4 && ((Byte(bytes, 0) == 0 && Byte(bytes, 1) == 0) ||
                 (Byte(bytes, 2) == 0 && Byte(bytes, 3) == 0))) {
    ThrowExportError("the export is in UTF-32, which this does not read");
  }
  if (starts({0x4C, 0x6F, 0xA7, 0x94})) {
    ThrowExportError("the export is in EBCDIC, which this does not read");
  }
  if (starts({0xEF, 0xBB, 0xBF})) {
    *skip = 3;
    return Family::kAscii;
  }
  if (starts({0xFF, 0xFE})) {
    *skip = 2;
    return Family::kUtf16Le;
  }
  if (starts({0xFE, 0xFF})) {
    *skip = 2;
    return Family::kUtf16Be;
  }
  // A NUL never occurs in an 8-bit document, so a zero byte beside an ASCII
  // one means 16-bit units without a mark.
  if (n >= 2 && Byte(bytes, 0) != 0 && Byte(bytes, 1) == 0) return Family::kUtf16Le;
  if (n >= 2 && Byte(bytes, 0) == 0 && Byte(bytes, 1) != 0) return Family::kUtf16Be;
  return Family::kAscii;
}

bool IsNameStart(std::uint32_t unit) {
  return (unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z') || unit == '_' ||
         unit == ':' || unit >= 0x80;
}

bool IsNameChar(std::uint32_t unit) {
  return IsNameStart(unit) || (unit >= '0' && unit <= '9') || unit == '-' || unit == '.';
}

std::size_t SkipSpaces(const Units& units, std::size_t i) {
  while (i < units.size() && IsSpace(units.At(i))) ++i;
  return i;
}

[[noreturn]] void MalformedDeclaration(const std::string& reason) {
  ThrowExportError("the export's XML declaration is not well-formed: " + reason);
}

// The encoding the XML declaration names in units [from, to), between
// "<?xml" and "?>"; empty when it names none. A declaration this cannot read
// is refused here, so that its encoding is never guessed.
std::string DeclaredEncoding(const Units& units, std::size_t from, std::size_t to) {
  static constexpr std::string_view kNames[] = {"version", "encoding", "standalone"};
  std::string encoding;
  int last = -1;
  std::size_t i = from;
  for (;;) {
    const std::size_t start = i;
    while (i < to && IsSpace(units.At(i))) ++i;
    if (i == to) break;
    std::size_t name_end = i;
    while (name_end < to && IsNameChar(units.At(name_end))) ++name_end;
    const std::string name = units.Text(i, std::max(name_end, i + 1));
    int known = -1;
    for (int k = 0; k < 3; ++k) {
      if (name == kNames[k]) known = k;
    }
    if (known < 0) MalformedDeclaration("it holds '" + name + "'");
    if (i == start) MalformedDeclaration("'" + name + "' follows without a space");
    if (known == last) MalformedDeclaration("it gives '" + name + "' twice");
    if (known < last) {
      MalformedDeclaration("it gives '" + name + "' after '" + std::string(kNames[last]) + "'");
    }
    i = name_end;
    while (i < to && IsSpace(units.At(i))) ++i;
    if (i == to || units.At(i) != '=') MalformedDeclaration("'" + name + "' has no '='");
    ++i;
    while (i < to && IsSpace(units.At(i))) ++i;
    if (i == to || !IsQuote(units.At(i))) {
      MalformedDeclaration("the value of '" + name + "' is not in quotes");
    }
    const std::size_t close = units.SkipLiteral(i);
    if (close == kNone || close > to) {
      MalformedDeclaration("the value of '" + name + "' has no closing quote to match");
    }
    if (known == 1) encoding = units.Text(i + 1, close - 1);
    last = known;
    i = close;
  }
  return encoding;
}

// The end of a markup declaration in the internal subset, minding literals.
std::size_t MarkupEnd(const Units& units, std::size_t i) {
  while (i < units.size()) {
    const std::uint32_t unit = units.At(i);
    if (IsQuote(unit)) {
      i = units.SkipLiteral(i);
      if (i == kNone) return kNone;
    } else if (unit == '>') {
      return i + 1;
    } else {
      ++i;
    }
  }
  return kNone;
}

// Reads a DOCTYPE declaration as the grammar has it, down to the markup
// declarations of its internal subset, so that one the parser would refuse
// is refused here rather than blanked.
class DoctypeReader {
 public:
  DoctypeReader(const Units& units, std::size_t at) : units_(units), at_(at) {}

  // The position just past the declaration, or kNone where it may go on
  // past the units at hand.
  std::size_t End() const {
    const std::size_t size = units_.size();
    std::size_t i = at_ + 9;  // "<!DOCTYPE"
    if (i >= size) return kNone;
    if (!IsSpace(units_.At(i))) Malformed();
    i = SkipSpaces(units_, i);
    i = Name(i);
    if (i == kNone) return kNone;
    std::size_t j = SkipSpaces(units_, i);
    if (j >= size) return kNone;
    if (j > i && units_.At(j) != '[' && units_.At(j) != '>') {
      if (size - j < 6) return kNone;
      const bool is_public = units_.Matches(j, "PUBLIC");
      if (!is_public && !units_.Matches(j, "SYSTEM")) Malformed();
      i = j + 6;
      for (int literals = is_public ? 2 : 1; literals > 0; --literals) {
        if (i >= size) return kNone;
        if (!IsSpace(units_.At(i))) Malformed();
        i = SkipSpaces(units_, i);
        if (i >= size) return kNone;
        if (!IsQuote(units_.At(i))) Malformed();
        i = units_.SkipLiteral(i);
        if (i == kNone) return kNone;
      }
      j = SkipSpaces(units_, i);
      if (j >= size) return kNone;
    }
    if (units_.At(j) == '[') {
      j = SubsetEnd(j + 1);
      if (j == kNone) return kNone;
      j = SkipSpaces(units_, j);
      if (j >= size) return kNone;
    }
    if (units_.At(j) != '>') Malformed();
    return j + 1;
  }

 private:
  [[noreturn]] void Malformed() const {
    ThrowExportError("the DOCTYPE declaration on line " + std::to_string(units_.LineOf(at_)) +
                     " is not well-formed");
  }

  // The position just past the name at `i`, or kNone.
  std::size_t Name(std::size_t i) const {
    if (i >= units_.size()) return kNone;
    if (!IsNameStart(units_.At(i))) Malformed();
    while (i < units_.size() && IsNameChar(units_.At(i))) ++i;
    return i < units_.size() ? i : kNone;
  }

  // The position just past the internal subset's ']', from just after its
  // '['. It holds markup declarations, comments, PIs, parameter-entity
  // references and white space, nothing else.
  std::size_t SubsetEnd(std::size_t i) const {
    // The shortest opening that decides, "<!NOTATION" and a space.
    constexpr std::size_t kLongestOpening = 11;
    for (;;) {
      i = SkipSpaces(units_, i);
      if (i >= units_.size()) return kNone;
      const std::uint32_t unit = units_.At(i);
      if (unit == ']') return i + 1;
      std::size_t end;
      if (unit == '%') {
        end = Name(i + 1);
        if (end == kNone) return kNone;
        if (units_.At(end) != ';') Malformed();
        ++end;
      } else if (units_.Matches(i, "<!--")) {
        end = units_.Find(i + 4, "-->");
        if (end != kNone) end += 3;
      } else if (units_.Matches(i, "<?")) {
        end = units_.Find(i + 2, "?>");
        if (end != kNone) end += 2;
      } else if (units_.size() - i < kLongestOpening) {
        return kNone;
      } else if (IsDeclaration(i)) {
        end = MarkupEnd(units_, i + 2);
      } else {
        Malformed();
      }
      if (end == kNone) return kNone;
      i = end;
    }
  }

  bool IsDeclaration(std::size_t i) const {
    for (const std::string_view keyword : {"<!ELEMENT", "<!ATTLIST", "<!ENTITY", "<!NOTATION"}) {
      if (units_.Matches(i, keyword) && IsSpace(units_.At(i + keyword.size()))) return true;
    }
    return false;
  }

  const Units& units_;
  std::size_t at_;
};

// What stands where the prolog cannot go on, as a refusal names it.
std::string Unreadable(const Units& units, std::size_t i) {
  const auto at = [&](std::size_t k) { return k < units.size() ? units.At(k) : 0x20; };
  std::string what =
      "something other than comments, processing instructions, a DOCTYPE and the "
      "root element";
  if (at(i) == 0xFEFF || (at(i) == 0xEF && at(i + 1) == 0xBB && at(i + 2) == 0xBF)) {
    what = "a second byte order mark";
  } else if (at(i) == 0 || (at(i) == '<' && at(i + 1) == 0)) {
    what = "a NUL character";
  }
  return "the export's prolog cannot be read on line " + std::to_string(units.LineOf(i)) +
         ": it holds " + what;
}

// Blanks units [from, to), keeping line breaks.
void Blank(Units& units, std::size_t from, std::size_t to) {
  for (std::size_t k = from; k < to; ++k) {
    const std::uint32_t unit = units.At(k);
    if (unit != '\r' && unit != '\n') units.Set(k, ' ');
  }
}

}  // namespace

Prolog GuardProlog(std::string& head, bool at_end) {
  Prolog prolog;
  // Enough bytes to tell the family and to see "<?xml " whole.
  if (!at_end && head.size() < 12) return prolog;
  std::size_t skip = 0;
  const Family family = Detect(head, &skip);
  prolog.utf16 = family != Family::kAscii;
  prolog.big_endian = family == Family::kUtf16Be;
  prolog.mark = skip;
  Units units(head, family, skip);
  // Where a decision would look past the bytes at hand, more are needed;
  // at the end of the file the parser reports whatever is left open.
  const auto finish = [&](bool complete) {
    prolog.complete = complete || at_end;
    return prolog;
  };
  std::size_t i = 0;
  if (units.Matches(0, "<?xml") && units.size() > 5 && IsSpace(units.At(5))) {
    const std::size_t end = units.Find(5, "?>");
    if (end == kNone) return finish(false);
    prolog.encoding = DeclaredEncoding(units, 5, end);
    i = end + 2;
  }
  // The prolog holds white space, comments, PIs and one DOCTYPE, and ends
  // where the root element starts; whatever else stands there is refused,
  // since a DOCTYPE could follow it unseen.
  constexpr std::size_t kLongestOpening = 9;  // "<!DOCTYPE"
  bool doctype = false;
  for (;;) {
    while (i < units.size() && IsSpace(units.At(i))) ++i;
    if (units.size() - i < kLongestOpening && !at_end) return finish(false);
    if (units.Matches(i, "<!--")) {
      const std::size_t end = units.Find(i + 4, "-->");
      if (end == kNone) return finish(false);
      i = end + 3;
    } else if (units.Matches(i, "<?")) {
      const std::size_t end = units.Find(i + 2, "?>");
      if (end == kNone) return finish(false);
      i = end + 2;
    } else if (units.Matches(i, "<!DOCTYPE")) {
      if (doctype) {
        ThrowExportError("the export has a second DOCTYPE declaration, on line " +
                         std::to_string(units.LineOf(i)));
      }
      doctype = true;
      const std::size_t end = DoctypeReader(units, i).End();
      if (end == kNone) {
        if (!at_end) return finish(false);
        ThrowExportError("the DOCTYPE declaration on line " + std::to_string(units.LineOf(i)) +
                         " is not closed");
      }
      Blank(units, i, end);
      i = end;
    } else if (i == units.size() || (units.size() - i == 1 && units.At(i) == '<') ||
               (units.At(i) == '<' && IsNameStart(units.At(i + 1)))) {
      // The root starts here, or the file ends: the parser says what is
      // missing then.
      return finish(true);
    } else {
      ThrowExportError(Unreadable(units, i));
    }
  }
}

}  // namespace sbrep
