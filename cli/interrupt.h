// What Ctrl-C does to the tool: it ends it at once with a word on what was
// left as it was, except while a table is being backed up or saved, when it
// waits for that to finish and then says what was saved.
#pragma once

#include <string>

#include "cli/exit_status.h"

namespace sbrep::cli {

// Catches Ctrl-C (SIGINT, or the console's control events) from now on.
// `leading_newline`: start the text on a line of its own, past the ^C a
// terminal echoes.
void CatchInterrupts(bool leading_newline);

// What the tool says when Ctrl-C ends it from now on (one or two lines).
void SetInterruptText(const std::string& text);

// With a command's name, Ctrl-C also prints one JSON object on the output
// stream, {"command": …, "interrupted": true, …}, beside the text; empty
// text turns that off.
void SetInterruptJson(const std::string& command);

// While one lives, Ctrl-C waits. When the last one ends, a Ctrl-C that came
// meanwhile ends the tool with the text then in force. Only the main thread
// holds interrupts.
class HoldInterrupts {
 public:
  HoldInterrupts();
  ~HoldInterrupts();
  HoldInterrupts(const HoldInterrupts&) = delete;
  HoldInterrupts& operator=(const HoldInterrupts&) = delete;
};

// For the platform's handler, on whatever thread it runs: true when the
// process must end now with InterruptText(); false when a hold keeps it.
bool InterruptArrived();
const char* InterruptText();
// The JSON object and its line break, or empty text.
const char* InterruptJson();

// The platform's part: catches the interrupt and calls InterruptArrived.
void InstallInterruptHandler();
// The platform's end: writes InterruptJson() to the output stream and
// InterruptText() to the error stream, and ends the process with
// kExitInterrupted.
[[noreturn]] void EndInterrupted();

}  // namespace sbrep::cli
