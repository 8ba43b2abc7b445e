// What the tool needs from the platform's terminal: its arguments, and its
// output and error streams as a person or a script reads them.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace sbrep::cli {

// The arguments after the program's name, as UTF-8. Windows reads the wide
// command line, so that any path survives whatever the ANSI code page.
std::vector<std::string> CommandLine(int argc, char** argv);

enum class Stream { kOut, kError };

// How text leaves the tool for a file or a pipe. A Windows console always
// gets the wide console interface, whatever this says.
enum class OutputEncoding {
  // Windows: the console's output code page, or the ANSI code page when
  // there is no console, with CR LF, as `type` and Notepad read it.
  // Elsewhere: UTF-8.
  kAuto,
  kUtf8,  // UTF-8 with LF, for scripts
};

// The encoding of redirected output, for the whole process; kAuto at first.
void SetOutputEncoding(OutputEncoding encoding);
OutputEncoding CurrentOutputEncoding();

// Whether the stream is a console or terminal that a person reads.
bool IsTerminal(Stream stream);
bool InputIsTerminal();

// The bytes that redirected output carries for UTF-8 text.
std::string RedirectedBytes(std::string_view utf8, OutputEncoding encoding);

// Writes UTF-8 text: through the wide console interface on a Windows
// console, otherwise as RedirectedBytes. False when not all of it could be
// written (a full disk, a closed pipe); a stream the process was started
// without takes nothing and succeeds.
bool WriteTerminal(Stream stream, std::string_view utf8, OutputEncoding encoding);

// From now on a closed pipe fails a write instead of ending the process,
// so that the tool can say so and exit with kExitOutput.
void KeepWriteErrors();

// Hands each line to `sink` as soon as it ends, and the rest on a flush,
// so that a long run shows what it has done so far; never a part of a
// UTF-8 character. A sink that fails sets the stream's badbit.
class TerminalBuffer : public std::streambuf {
 public:
  using Sink = std::function<bool(std::string_view utf8)>;
  explicit TerminalBuffer(Sink sink) : sink_(std::move(sink)) {}
  // WriteTerminal to the stream, in the CurrentOutputEncoding() of the moment.
  explicit TerminalBuffer(Stream stream);
  ~TerminalBuffer() override;
  TerminalBuffer(const TerminalBuffer&) = delete;
  TerminalBuffer& operator=(const TerminalBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize size) override;
  int sync() override;

 private:
  // Writes the pending text up to `end`, and keeps the rest; false when
  // the sink failed.
  bool Emit(std::size_t end);

  Sink sink_;
  std::string pending_;
};

// Where the tool reads and writes: the report on `out`, diagnostics,
// progress and prompts on `err`, answers from `in`.
struct Console {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
  bool err_is_terminal = false;  // progress is shown on a terminal only
  bool in_is_terminal = false;   // a prompt's answer is echoed otherwise
  // Changes how redirected output is encoded (--encoding); may be empty.
  std::function<void(OutputEncoding)> set_encoding;
};

}  // namespace sbrep::cli
