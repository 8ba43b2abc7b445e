// Read-only access to an export. Children of a node are its element children
// and its text and CDATA children that are not white space alone, in
// document order; comments and processing instructions are not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/progress.h"

namespace sbrep {

namespace dom {
class Document;
class Node;
}  // namespace dom

class ExportNode {
 public:
  ExportNode() = default;
  explicit ExportNode(std::shared_ptr<const dom::Node> node);

  // A default node refers to nothing; the functions below treat it as empty.
  bool is_null() const { return node_ == nullptr; }
  const dom::Node& node() const { return *node_; }
  // The children, walked once on first use.
  const std::vector<std::shared_ptr<const dom::Node>>& children() const;

 private:
  std::shared_ptr<const dom::Node> node_;
  mutable std::shared_ptr<std::vector<std::shared_ptr<const dom::Node>>> children_;
};

class ExportDocument {
 public:
  ExportDocument() = default;
  explicit ExportDocument(std::shared_ptr<dom::Document> document);
  bool is_open() const { return document_ != nullptr; }
  const dom::Document& document() const { return *document_; }
  void Close() { document_.reset(); }

 private:
  std::shared_ptr<dom::Document> document_;
};

// Reads the file (sharing read and write), guards its prolog and parses it.
// Throws an Error: Fault::kExport for a malformed or oversized export,
// Fault::kMachine when the file cannot be read or no parser can be had.
// `progress` hears how much of the file has been read, chunk by chunk.
ExportDocument LoadExport(const std::string& path, const ReadProgress& progress = {});

// The largest export LoadExport reads.
constexpr std::uint64_t kMaxExportBytes = 1ull << 30;

std::string RootName(const ExportDocument& document);
ExportNode Root(const ExportDocument& document);

// The first child element named exactly `name`, prefix included.
std::optional<ExportNode> FindChild(const ExportNode& node, std::string_view name);
bool HasChildren(const ExportNode& node);
std::size_t ChildCount(const ExportNode& node);
// Throws an Error (Fault::kExport) for a position not below ChildCount.
ExportNode ChildAt(const ExportNode& node, std::size_t position);
// The name of an element child, empty for text.
std::string NodeName(const ExportNode& node);

// The data of the text and CDATA descendants, with space, tab, CR and LF
// removed at both ends. Empty for an element without children.
std::string NodeText(const ExportNode& node);
// NodeText of the first child element named `name`; empty when there is none.
std::string ChildText(const ExportNode& node, std::string_view name);

// GBK bytes of a UTF-8 text; nothing when a character has no GBK form.
std::optional<std::string> ToGbk(std::string_view text);

void CloseExport(ExportDocument& document);

}  // namespace sbrep
