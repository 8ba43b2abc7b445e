// POSIX: the registry is a file named by SBREP_REGISTRY_FILE.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness/host.h"

namespace sbrep::test {
namespace {

constexpr const char kKey[] =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexlan.exe]";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// A registry export whose one key holds `utf8` as the value Path.
std::string RegistryFileFor(const std::string& utf8) {
  return "Windows Registry Editor Version 5.00\r\n\r\n" + std::string(kKey) + "\r\n\"Path\"=\"" +
         Escaped(utf8) + "\"\r\n";
}

}  // namespace

std::string DataRoot() { return SBREP_TEST_DATA; }

RegistryValue::RegistryValue() {
  static ScratchFolder folder;  // lives for the whole run
  state_ = folder.Join("registry.reg");
  setenv("SBREP_REGISTRY_FILE", state_.c_str(), 1);
  Remove();
}

RegistryValue::~RegistryValue() { Remove(); }

void RegistryValue::SetString(const std::string& utf8) {
  WriteBytes(state_, RegistryFileFor(utf8));
}

void RegistryValue::SetExpandString(const std::string& utf8) {
  // regedit writes REG_EXPAND_SZ as hex(2); read as a string it is the text.
  SetString(utf8);
}

void RegistryValue::SetDword(std::uint32_t value) {
  char hex[16];
  snprintf(hex, sizeof hex, "%08x", value);
  WriteBytes(state_, std::string(kKey) + "\n\"Path\"=dword:" + hex + "\n");
}

void RegistryValue::KeyOnly() { WriteBytes(state_, std::string(kKey) + "\n\"Other\"=\"x\"\n"); }

void RegistryValue::Remove() { WriteBytes(state_, "Windows Registry Editor Version 5.00\n"); }

void RegistryValue::SetStringInView(const std::string& utf8, bool) { SetString(utf8); }

bool RegistryValue::HasViews() { return false; }

void RegisterFilingClient(const std::string& folder) {
  const char* named = std::getenv("SBREP_REGISTRY_FILE");
  const std::string file = named != nullptr && *named != '\0' ? named : folder + ".reg";
  setenv("SBREP_REGISTRY_FILE", file.c_str(), 1);
  // In one step: another process of the run may be reading it.
  const std::string fresh = file + "." + std::to_string(::getpid());
  WriteBytes(fresh, RegistryFileFor(folder));
  ::rename(fresh.c_str(), file.c_str());
}

void KillThisProcess() {
  ::raise(SIGKILL);
  ::_exit(137);
}

bool MakePipe(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

}  // namespace sbrep::test
