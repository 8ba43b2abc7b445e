// The sbrep program: the tool's library behind the platform's command line
// and terminal, with Ctrl-C caught.
#include <iostream>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/sbrep_cli.h"

int main(int argc, char** argv) {
  using sbrep::cli::Stream;
  sbrep::cli::TerminalBuffer out_buffer(Stream::kOut);
  sbrep::cli::TerminalBuffer err_buffer(Stream::kError);
  std::ostream out(&out_buffer);
  std::ostream err(&err_buffer);
  const bool terminal = sbrep::cli::IsTerminal(Stream::kError);
  sbrep::cli::CatchInterrupts(terminal);
  sbrep::cli::KeepWriteErrors();
  sbrep::cli::Console console{
      out, err, std::cin, terminal, sbrep::cli::InputIsTerminal(), sbrep::cli::SetOutputEncoding};
  const int status = sbrep::cli::RunCli(sbrep::cli::CommandLine(argc, argv), console);
  out.flush();
  err.flush();
  return status;
}
