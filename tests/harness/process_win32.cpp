#include <windows.h>

#include <thread>

#include "harness/process.h"
#include "platform/utf16_win32.h"

namespace sbrep::test {
namespace {

// Each pipe is read on a thread of its own, so that neither fills while
// the other is waited on.
void ReadAll(HANDLE pipe, std::string* into) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) into->append(buffer, got);
}

std::wstring Quoted(const std::string& utf8) {
  const std::wstring arg = win32::Widen(utf8);
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

Program::Program(const std::string& path, const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out_read = nullptr;
  HANDLE out_write = nullptr;
  HANDLE err_read = nullptr;
  HANDLE err_write = nullptr;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return;
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) {
    CloseHandle(out_read);
    CloseHandle(out_write);
    return;
  }
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  std::wstring command = Quoted(path);
  for (const std::string& arg : args) command += L" " + Quoted(arg);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION info = {};
  started_ = CreateProcessW(win32::Widen(path).c_str(), command.data(), nullptr, nullptr, TRUE,
                            CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info) != 0;
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  if (started_) CloseHandle(info.hThread);
  process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
  out_ = reinterpret_cast<std::intptr_t>(out_read);
  err_ = reinterpret_cast<std::intptr_t>(err_read);
  if (!started_) {
    CloseHandle(out_read);
    CloseHandle(err_read);
  }
}

Program::~Program() {
  if (started_) Wait();
}

// A child without a console of its own cannot be sent Ctrl-C alone.
bool Program::CanInterrupt() { return false; }

bool Program::Interrupt() { return false; }

void Program::CloseOutput() {
  if (out_ == 0) return;
  CloseHandle(reinterpret_cast<HANDLE>(out_));
  out_ = 0;
}

ProgramResult Program::Wait() {
  ProgramResult result;
  if (!started_) return result;
  started_ = false;
  const auto out = reinterpret_cast<HANDLE>(out_);
  const auto err = reinterpret_cast<HANDLE>(err_);
  std::thread reader([&] { ReadAll(err, &result.err); });
  if (out != nullptr) ReadAll(out, &result.out);
  reader.join();
  const auto process = reinterpret_cast<HANDLE>(process_);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  result.status = static_cast<int>(code);
  CloseHandle(process);
  if (out != nullptr) CloseHandle(out);
  CloseHandle(err);
  return result;
}

std::string BuiltProgram(const std::string& name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string own = win32::Narrow(path, n);
  return own.substr(0, own.find_last_of("\\/") + 1) + name + ".exe";
}

EnvironmentVariable::EnvironmentVariable(std::string name, const std::string& value)
    : name_(std::move(name)) {
  const std::wstring wide = win32::Widen(name_);
  const DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n > 0) {
    std::wstring old(n, L'\0');
    const DWORD got = GetEnvironmentVariableW(wide.c_str(), old.data(), n);
    had_ = true;
    old_ = win32::Narrow(old.data(), got);
  }
  SetEnvironmentVariableW(wide.c_str(), win32::Widen(value).c_str());
}

EnvironmentVariable::~EnvironmentVariable() {
  const std::wstring wide = win32::Widen(name_);
  SetEnvironmentVariableW(wide.c_str(), had_ ? win32::Widen(old_).c_str() : nullptr);
}

std::string RedirectedForm(const std::string& utf8) {
  std::string text;
  for (const char c : utf8) {
    if (c == '\n') text += '\r';
    text += c;
  }
  const std::wstring wide = win32::Widen(text);
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace sbrep::test
