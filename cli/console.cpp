#include "cli/console.h"

#include <atomic>
#include <utility>

namespace sbrep::cli {
namespace {

std::atomic<OutputEncoding> g_encoding{OutputEncoding::kAuto};

// The length of the text without a UTF-8 sequence cut off at its end, so
// that a flush never splits a character.
std::size_t WholeCharacters(const std::string& text) {
  std::size_t end = text.size();
  std::size_t back = 0;
  while (back < 4 && back < end &&
         (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80) {
    ++back;
  }
  if (back == end) return end;
  const auto lead = static_cast<unsigned char>(text[end - 1 - back]);
  std::size_t length = 1;
  if ((lead & 0xE0) == 0xC0) length = 2;
  if ((lead & 0xF0) == 0xE0) length = 3;
  if ((lead & 0xF8) == 0xF0) length = 4;
  return back + 1 < length ? end - 1 - back : end;
}

}  // namespace

void SetOutputEncoding(OutputEncoding encoding) { g_encoding.store(encoding); }

OutputEncoding CurrentOutputEncoding() { return g_encoding.load(); }

TerminalBuffer::TerminalBuffer(Stream stream)
    : sink_([stream](std::string_view utf8) {
        return WriteTerminal(stream, utf8, CurrentOutputEncoding());
      }) {}

TerminalBuffer::~TerminalBuffer() { Emit(pending_.size()); }

TerminalBuffer::int_type TerminalBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  pending_ += ch;
  if (ch == '\n' && !Emit(pending_.size())) return traits_type::eof();
  return c;
}

std::streamsize TerminalBuffer::xsputn(const char* text, std::streamsize size) {
  pending_.append(text, static_cast<std::size_t>(size));
  const auto line_end = pending_.rfind('\n');
  if (line_end != std::string::npos && !Emit(line_end + 1)) return 0;
  return size;
}

int TerminalBuffer::sync() { return Emit(WholeCharacters(pending_)) ? 0 : -1; }

bool TerminalBuffer::Emit(std::size_t end) {
  if (end == 0) return true;
  const bool written = sink_(std::string_view(pending_).substr(0, end));
  pending_.erase(0, end);
  return written;
}

}  // namespace sbrep::cli
