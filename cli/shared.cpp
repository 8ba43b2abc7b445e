#include "cli/shared.h"

#include <cctype>
#include <cstdio>

#include "cli/arguments.h"
#include "core/text.h"
#include "install/filing_client.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "table_file/save.h"

namespace sbrep::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string Parent(const std::string& path) {
  return WithoutTrailingSeparators(fs::FolderOf(WithoutTrailingSeparators(path)));
}

}  // namespace

std::string Printable(const std::string& gbk) {
  if (auto utf8 = GbkToUtf8(gbk)) return std::move(*utf8);
  std::string shown;
  for (unsigned char c : gbk) {
    if (c < 0x80) {
      shown += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    }
  }
  return shown;
}

std::string ShownMessage(Message message) {
  return Printable(std::string(MessageBytes(message))) + " (" + std::string(MessageGloss(message)) +
         ")";
}

std::string HexBytes(const std::string& bytes, const std::string& separator) {
  std::string hex;
  for (const unsigned char c : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", c);
    if (!hex.empty()) hex += separator;
    hex += digits;
  }
  return hex;
}

std::optional<std::string> ProbeWritable(const std::string& path) {
  const std::string name = fs::NameOf(path);
  const SaveCheck check = CheckSavable(path);
  switch (check.refusal) {
    case SaveRefusal::kNone:
      break;
    case SaveRefusal::kUnchecked:
      return "cannot check " + name + ": " + fs::Describe(check.outcome);
    case SaveRefusal::kFolder:
      return name + " is a folder, a transfer could not save it";
    case SaveRefusal::kReadOnly:
      return name + " is read-only, a transfer could not save it";
  }
  if (!check.attributes.exists) return std::nullopt;
  fs::File file;
  const fs::Outcome opened = file.Open(path, fs::OpenMode::kReadWrite);
  if (!opened.ok()) {
    return "cannot open " + name + " for writing: " + fs::Describe(opened) +
           ", a transfer could not save it";
  }
  const fs::Outcome closed = file.Close();
  if (!closed.ok()) return "cannot close " + name + ": " + fs::Describe(closed);
  return std::nullopt;
}

std::optional<std::string> ProbeNewFile(const std::string& folder, const std::string& name) {
  fs::Ops& ops = fs::FileSystem();
  const std::string path = JoinPath(folder, name);
  fs::Attributes found;
  if (ops.stat(path, &found).ok() && found.exists) return std::nullopt;
  fs::Outcome outcome;
  {
    fs::File file;
    outcome = file.Open(path, fs::OpenMode::kCreateOrTruncate);
    if (outcome.ok()) outcome = file.Close();
  }
  ops.remove(path);
  if (outcome.ok()) return std::nullopt;
  return "cannot create a file in " + folder + ": " + fs::Describe(outcome);
}

std::optional<std::string> ProbeBackupFolder(const std::string& folder) {
  // Without a trailing separator, which would hide a file in the way.
  std::string existing = WithoutTrailingSeparators(folder);
  fs::Attributes found;
  while (fs::FileSystem().stat(existing, &found).ok() && !found.exists) {
    std::string parent = fs::FolderOf(existing);
    if (parent.size() > 1 && parent.back() != ':' && parent[parent.size() - 2] != ':') {
      parent = WithoutTrailingSeparators(parent);
    }
    if (parent.empty()) parent = ".";
    if (parent == existing) break;
    existing = parent;
  }
  if (!found.exists) return "cannot make the backup folder " + folder + ": nothing of it exists";
  if (!found.directory) {
    return "cannot make the backup folder " + folder + ": the file " + existing + " is in the way";
  }
  if (auto refusal = ProbeNewFile(existing, "~sbrep-probe")) {
    return "cannot write the backup folder " + folder + ": " + *refusal;
  }
  return std::nullopt;
}

void CheckClientFolder(const std::string& folder) {
  const std::string what = "--client takes the install folder, the one that holds Dexlan\\ICDAT";
  if (TrimBlanks(folder).empty()) throw UsageError(what + ", not empty text");
  if (fs::IsFolder(TableFolder(folder))) return;
  const std::string name = Lower(fs::NameOf(WithoutTrailingSeparators(folder)));
  if (name == "icdat" && fs::IsFolder(folder)) {
    throw UsageError(what + "; '" + folder + "' is the ICDAT folder itself: give '" +
                     Parent(Parent(folder)) + "'");
  }
  if (name == "dexlan" && fs::IsFolder(folder + "\\ICDAT")) {
    throw UsageError(what + "; '" + folder + "' is the Dexlan folder below it: give '" +
                     Parent(folder) + "'");
  }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\' || folder.back() == '/') return folder + name;
  const bool backslashes = folder.find('\\') != std::string::npos;
  return folder + (backslashes ? '\\' : '/') + name;
}

}  // namespace sbrep::cli
