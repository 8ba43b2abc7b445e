// The sbrep program: the tool's library behind the platform's command line
// and terminal.
#include <sstream>

#include "cli/console.h"
#include "cli/sbrep_cli.h"

int main(int argc, char** argv) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = sbrep::cli::RunCli(sbrep::cli::CommandLine(argc, argv), out, err);
  sbrep::cli::WriteTerminal(sbrep::cli::Stream::kOut, out.str());
  sbrep::cli::WriteTerminal(sbrep::cli::Stream::kError, err.str());
  return status;
}
