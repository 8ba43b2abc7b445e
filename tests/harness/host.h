// What every test may use without the library: scratch folders, file bytes,
// fixtures, a filing-client install and its registry value, written with
// the standard library and plain platform calls.
#pragma once

#include <cstdint>
#include <string>

namespace sbrep::test {

// A fresh folder, removed with everything in it when the object dies.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // UTF-8, with the platform's separator, no trailing separator.
  const std::string& path() const { return path_; }
  std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Creates folders as needed.
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Removes a file if there is one.
void RemoveFile(const std::string& path);
// A named pipe at the path; false where the platform has none.
bool MakePipe(const std::string& path);
void MakeFolder(const std::string& path);
void MakeReadOnly(const std::string& path, bool read_only);
// The names in a folder, sorted.
std::string ListFolder(const std::string& path);

// tests/data as this platform names it.
std::string DataRoot();
// A fixture file below tests/data.
std::string DataPath(const std::string& relative);
std::string ReadData(const std::string& relative);

// The filing client's registry value, set for the life of the object. The
// original state is restored afterwards.
class RegistryValue {
 public:
  RegistryValue();
  ~RegistryValue();
  RegistryValue(const RegistryValue&) = delete;
  RegistryValue& operator=(const RegistryValue&) = delete;

  void SetString(const std::string& utf8);
  void SetExpandString(const std::string& utf8);
  void SetDword(std::uint32_t value);
  // The key without the value Path.
  void KeyOnly();
  // No key at all.
  void Remove();
  // Windows 64-bit only: the value in one registry view, the other left as it is.
  void SetStringInView(const std::string& utf8, bool view32);
  static bool HasViews();

 private:
  std::string state_;
};

// Registers `folder` as the install folder and leaves it registered, for
// programs of the fault runs that share one install (natively through the
// file SBREP_REGISTRY_FILE names, or `folder`.reg beside the folder).
void RegisterFilingClient(const std::string& folder);

// Ends the process at once, as a crash or the task manager would: no
// destructor runs and no buffer is flushed. Exit status 137 (or SIGKILL).
[[noreturn]] void KillThisProcess();

// A filing-client install: <root>/Dexlan/ICDAT with the given table files,
// registered for the life of the object.
class FilingClient {
 public:
  FilingClient();
  const std::string& folder() const { return scratch_.path(); }
  std::string TablePath(const std::string& name) const;
  void PutTable(const std::string& name, const std::string& bytes);
  RegistryValue& registry() { return registry_; }
  ScratchFolder& scratch() { return scratch_; }

 private:
  ScratchFolder scratch_;
  RegistryValue registry_;
};

}  // namespace sbrep::test
