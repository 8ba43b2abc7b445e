// What makes a file itself beyond its bytes, as far as the platform lets a
// test set and see it: owner and access rights, symbolic and hard links.
#pragma once

#include <string>
#include <vector>

namespace sbrep::test {

// The owner, group and access rights as text: "uid:gid" on POSIX, the
// owner, group and DACL in SDDL on Windows.
std::string Identity(const std::string& path);

// Gives the file an owner or access list that a new file would not get.
// False where the test may not (POSIX without root).
bool GiveDistinctIdentity(const std::string& path);

// False where the platform or the test's rights allow no such link.
bool MakeSymlink(const std::string& target, const std::string& link);
bool IsSymlink(const std::string& path);
bool MakeHardLink(const std::string& existing, const std::string& link);

// Other spellings of one existing folder, each with what it is: "." and
// ".." and letter case everywhere; on Windows \\?\ and a second drive
// letter made for the folder, natively a symbolic link to it. Lives as long
// as what it made.
class FolderSpellings {
 public:
  struct Spelling {
    std::string what;
    std::string folder;
  };
  explicit FolderSpellings(const std::string& folder);
  ~FolderSpellings();
  FolderSpellings(const FolderSpellings&) = delete;
  FolderSpellings& operator=(const FolderSpellings&) = delete;
  const std::vector<Spelling>& all() const { return all_; }

 private:
  std::vector<Spelling> all_;
  std::string made_;  // the drive letter or link to take away
};

}  // namespace sbrep::test
