#include "cli/paths.h"

#include "cli/backup.h"
#include "cli/places.h"
#include "platform/filesystem.h"

namespace sbrep::cli {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\' || folder.back() == '/') return folder + name;
  const bool backslashes = folder.find('\\') != std::string::npos;
  return folder + (backslashes ? '\\' : '/') + name;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string ParentFolder(const std::string& path) {
  return WithoutTrailingSeparators(fs::FolderOf(WithoutTrailingSeparators(path)));
}

std::string BackupFolder(const Arguments& args) {
  if (args.backup_dir) return *args.backup_dir;
  if (auto folder = DefaultBackupFolder()) return *folder;
  throw BackupError("no backup folder: the variables that name it are unset; give --backup-dir");
}

std::string LibraryPath(const Arguments& args) {
  if (args.dll) return *args.dll;
  return fs::FolderOf(ProgramPath()) + LibraryFileName();
}

}  // namespace sbrep::cli
