// Runs a program of the build as a child process, as a person or a script
// would, with its output and error streams captured as bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sbrep::test {

struct ProgramResult {
  int status = -1;  // the exit status
  std::string out;
  std::string err;
};

class Program {
 public:
  // Starts `path` with `args` (UTF-8); the standard input is empty.
  Program(const std::string& path, const std::vector<std::string>& args);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return started_; }
  // Ctrl-C, as a terminal sends it; false where the platform cannot send it
  // to a child without a console of its own.
  bool Interrupt();
  // Closes the reading end of its output stream, as a reader that went
  // away (`| head`) does: its writes there fail from now on.
  void CloseOutput();
  // Waits for the end and gives what it wrote.
  ProgramResult Wait();

  static bool CanInterrupt();

 private:
  bool started_ = false;
  std::intptr_t process_ = 0;
  std::intptr_t out_ = 0;
  std::intptr_t err_ = 0;
};

// A program in the build's folder of programs, by its name without ".exe".
std::string BuiltProgram(const std::string& name);

// Sets an environment variable for the life of the object, and puts the
// old value back.
class EnvironmentVariable {
 public:
  EnvironmentVariable(std::string name, const std::string& value);
  ~EnvironmentVariable();
  EnvironmentVariable(const EnvironmentVariable&) = delete;
  EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// The bytes a redirected program's UTF-8 text becomes: on Windows the
// ANSI code page with CR LF (the tests run without a console), elsewhere
// the text itself.
std::string RedirectedForm(const std::string& utf8);

}  // namespace sbrep::test
