// POSIX has no registry. A file in the regedit export text format, named by
// SBREP_REGISTRY_FILE, stands in for HKEY_LOCAL_MACHINE; unset means the key
// is missing. Key and value names compare case-insensitively.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/registry.h"

namespace sbrep::registry {
namespace {

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// Reads a quoted string at text[*at] ('"' expected), undoing \\ and \".
std::optional<std::string> Quoted(const std::string& text, std::size_t* at) {
  if (*at >= text.size() || text[*at] != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = *at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      *at = i + 1;
      return value;
    }
    if (c == '\\' && i + 1 < text.size()) {
      value += text[++i];
    } else {
      value += c;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name) {
  const char* file = std::getenv("SBREP_REGISTRY_FILE");
  if (file == nullptr || *file == '\0') return std::nullopt;
  // Read with stdio, not a stream: a stream would take memory running out
  // for the end of the file, and a machine fault would pass for a missing
  // install.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file, "rb"), &std::fclose);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) {
    text.append(buffer, got);
  }

  const std::string wanted_key = Folded("HKEY_LOCAL_MACHINE\\" + key);
  const std::string wanted_name = Folded(name);
  bool in_key = false;
  std::optional<std::string> found;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (!line.empty() && line.front() == '[') {
      const auto close = line.rfind(']');
      in_key = close != std::string::npos && Folded(line.substr(1, close - 1)) == wanted_key;
      continue;
    }
    if (!in_key) continue;
    std::size_t at = 0;
    std::optional<std::string> value_name;
    if (!line.empty() && line[0] == '@') {
      value_name = "";
      at = 1;
    } else {
      value_name = Quoted(line, &at);
    }
    if (!value_name || at >= line.size() || line[at] != '=') continue;
    if (Folded(*value_name) != wanted_name) continue;
    ++at;
    // A later line for the same value wins, as a later import would.
    found = Quoted(line, &at);
  }
  return found;
}

}  // namespace sbrep::registry
