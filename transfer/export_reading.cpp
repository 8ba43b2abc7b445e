#include "transfer/export_reading.h"

#include "core/error.h"

namespace sbrep {

void RequireRoot(const ExportDocument& document, std::string_view expected) {
  const std::string name = RootName(document);
  if (name != expected) {
    ThrowExportError("root element is '" + name + "', expected " + std::string(expected));
  }
}

ExportNode RequirePart(const ExportNode& parent, const std::string& parent_path,
                       std::string_view name, bool filled) {
  const auto part = FindChild(parent, name);
  const std::string path = parent_path + "/" + std::string(name);
  if (!part) ThrowExportError(path + " is missing");
  if (filled && !HasChildren(*part)) ThrowExportError(path + " is empty");
  return *part;
}

std::string ItemLabel(std::string_view noun, std::size_t position, const ExportNode& item,
                      std::string_view expected_name) {
  std::string name = NodeName(item);
  if (name.empty()) name = "text, expected " + std::string(expected_name);
  return std::string(noun) + " " + std::to_string(position + 1) + " (" + name + ")";
}

void AddHeaderFields(const ExportNode& part, HeaderFields* header) {
  const std::size_t count = ChildCount(part);
  for (std::size_t i = 0; i < count; ++i) {
    const ExportNode child = ChildAt(part, i);
    std::string name = NodeName(child);
    if (name.empty()) continue;
    bool known = false;
    for (const auto& field : *header) known = known || field.first == name;
    if (!known) header->emplace_back(std::move(name), NodeText(child));
  }
}

std::string GbkOrThrow(const std::string& text, const std::string& where) {
  auto gbk = ToGbk(text);
  if (!gbk) ThrowNotGbk(text, where);
  return std::move(*gbk);
}

void ThrowNotGbk(const std::string& text, const std::string& where) {
  ThrowExportError(where + ": '" + text + "' has a character GBK cannot represent");
}

}  // namespace sbrep
