#include <sys/stat.h>
#include <unistd.h>

#include "harness/file_identity.h"

namespace sbrep::test {

std::string Identity(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return "missing";
  return std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid);
}

bool GiveDistinctIdentity(const std::string& path) {
  return ::geteuid() == 0 && ::chown(path.c_str(), 1000, 1000) == 0;
}

bool MakeSymlink(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool IsSymlink(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return ::link(existing.c_str(), link.c_str()) == 0;
}

FolderSpellings::FolderSpellings(const std::string& folder) {
  const std::string name = folder.substr(folder.find_last_of('/') + 1);
  all_.push_back({"'.' and '..'", folder + "/./../" + name});
  made_ = folder + "-link";
  if (MakeSymlink(folder, made_)) all_.push_back({"a symbolic link", made_});
}

FolderSpellings::~FolderSpellings() { ::unlink(made_.c_str()); }

}  // namespace sbrep::test
