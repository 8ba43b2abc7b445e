// POSIX has no registry. A file in the regedit export text format, named by
// SBREP_REGISTRY_FILE, stands in for it; unset means every key is missing.
// Key and value names compare case-insensitively.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

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

const char* FileName() {
  const char* file = std::getenv("SBREP_REGISTRY_FILE");
  return file == nullptr || *file == '\0' ? nullptr : file;
}

// The whole file; nothing when it cannot be read. Read with stdio, not a
// stream: a stream would take memory running out for the end of the file,
// and a machine fault would pass for a missing install.
std::optional<std::string> FileText() {
  const char* file = FileName();
  if (file == nullptr) return std::nullopt;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file, "rb"), &std::fclose);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) {
    text.append(buffer, got);
  }
  return text;
}

// One line of the file and where it starts and ends.
struct Line {
  std::string text;  // without CR, LF or a byte order mark
  std::size_t start;
  std::size_t end;  // past its LF
};

template <typename Visit>
void EachLine(const std::string& text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    Line line{text.substr(start, end - start), start, end};
    while (!line.text.empty() && (line.text.back() == '\n' || line.text.back() == '\r')) {
      line.text.pop_back();
    }
    if (line.text.compare(0, 3, "\xEF\xBB\xBF") == 0) line.text.erase(0, 3);
    visit(line);
    start = end;
  }
}

// The data of value `name` in key `key` ("HKEY_...\\..."): what follows the
// '=' of its last line. `where`, when given, gets the span of each line of
// it and the end of the key's header.
struct Spans {
  std::size_t header_end = std::string::npos;
  std::vector<std::pair<std::size_t, std::size_t>> lines;
};

std::optional<std::string> Find(const std::string& text, const std::string& key,
                                const std::string& name, Spans* where = nullptr) {
  const std::string wanted_key = Folded(key);
  const std::string wanted_name = Folded(name);
  bool in_key = false;
  std::optional<std::string> found;
  EachLine(text, [&](const Line& line) {
    if (!line.text.empty() && line.text.front() == '[') {
      const auto close = line.text.rfind(']');
      in_key = close != std::string::npos && Folded(line.text.substr(1, close - 1)) == wanted_key;
      if (in_key && where != nullptr) where->header_end = line.end;
      return;
    }
    if (!in_key) return;
    std::size_t at = 0;
    std::optional<std::string> value_name;
    if (!line.text.empty() && line.text[0] == '@') {
      value_name = "";
      at = 1;
    } else {
      value_name = Quoted(line.text, &at);
    }
    if (!value_name || at >= line.text.size() || line.text[at] != '=') return;
    if (Folded(*value_name) != wanted_name) return;
    // A later line for the same value wins, as a later import would.
    found = line.text.substr(at + 1);
    if (where != nullptr) where->lines.emplace_back(line.start, line.end);
  });
  return found;
}

}  // namespace

std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name) {
  const auto text = FileText();
  if (!text) return std::nullopt;
  const auto data = Find(*text, "HKEY_LOCAL_MACHINE\\" + key, name);
  if (!data) return std::nullopt;
  std::size_t at = 0;
  return Quoted(*data, &at);
}

std::optional<std::uint32_t> ReadUserDword(const std::string& key, const std::string& name) {
  const auto text = FileText();
  if (!text) return std::nullopt;
  const auto data = Find(*text, "HKEY_CURRENT_USER\\" + key, name);
  const std::string prefix = "dword:";
  if (!data || data->size() != prefix.size() + 8 || Folded(data->substr(0, 6)) != prefix) {
    return std::nullopt;
  }
  char* end = nullptr;
  const unsigned long value = std::strtoul(data->c_str() + prefix.size(), &end, 16);
  if (end != data->c_str() + data->size()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

bool WriteUserDword(const std::string& key, const std::string& name, std::uint32_t value) {
  const char* file = FileName();
  if (file == nullptr) return false;
  std::string text = FileText().value_or("Windows Registry Editor Version 5.00\n");
  const std::string full_key = "HKEY_CURRENT_USER\\" + key;
  Spans spans;
  Find(text, full_key, name, &spans);
  char line[64];
  std::snprintf(line, sizeof line, "=dword:%08x\n", static_cast<unsigned>(value));
  std::string entry = "\"" + name + "\"" + line;
  // Earlier lines of the value go; the new one takes the place of the last.
  std::size_t place = spans.lines.empty() ? 0 : spans.lines.back().first;
  for (auto it = spans.lines.rbegin(); it != spans.lines.rend(); ++it) {
    text.erase(it->first, it->second - it->first);
    if (it != spans.lines.rbegin()) place -= it->second - it->first;
  }
  if (!spans.lines.empty()) {
    text.insert(place, entry);
  } else {
    if (spans.header_end != std::string::npos) {
      text.insert(spans.header_end, entry);
    } else {
      if (!text.empty() && text.back() != '\n') text += '\n';
      text += "\n[" + full_key + "]\n" + entry;
    }
  }
  // In one step: a call in another process may be reading it.
  const std::string fresh = std::string(file) + ".new";
  {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(fresh.c_str(), "wb"),
                                                              &std::fclose);
    if (!out || std::fwrite(text.data(), 1, text.size(), out.get()) != text.size()) return false;
  }
  return std::rename(fresh.c_str(), file) == 0;
}

}  // namespace sbrep::registry
