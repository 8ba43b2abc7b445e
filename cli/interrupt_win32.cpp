#include <windows.h>

#include "cli/console.h"
#include "cli/interrupt.h"

namespace sbrep::cli {
namespace {

// Runs on a thread of its own. Ctrl-C and Ctrl-Break end the process now or
// when the hold ends. Closing the window ends the process as soon as this
// handler returns, so then it waits for the main thread to end it.
BOOL WINAPI OnControl(DWORD event) {
  if (InterruptArrived()) EndInterrupted();
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  for (;;) Sleep(1000);
}

}  // namespace

void InstallInterruptHandler() { SetConsoleCtrlHandler(&OnControl, TRUE); }

void EndInterrupted() {
  WriteTerminal(Stream::kOut, InterruptJson(), CurrentOutputEncoding());
  WriteTerminal(Stream::kError, InterruptText(), CurrentOutputEncoding());
  ExitProcess(kExitInterrupted);
}

}  // namespace sbrep::cli
