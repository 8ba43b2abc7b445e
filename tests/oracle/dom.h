// The whole-document readers the export reader replaced, kept as reference
// oracles for the differential test: a parsed XML document, walked node by
// node. MSXML over COM on Windows, libxml2 on POSIX. Names and texts are UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace sbrep::oracle::dom {

enum class NodeType { kElement, kText, kCData, kEntityReference, kOther };

class Node {
 public:
  virtual ~Node() = default;
  virtual NodeType Type() const = 0;
  // The qualified name, prefix included, for an element.
  virtual std::string Name() const = 0;
  // The character data of a text or CDATA node.
  virtual std::string Data() const = 0;
  // Null when there is none.
  virtual std::unique_ptr<Node> FirstChild() const = 0;
  virtual std::unique_ptr<Node> NextSibling() const = 0;
};

class Document {
 public:
  virtual ~Document() = default;
  virtual std::unique_ptr<Node> Root() const = 0;
};

// Parses a document from memory (already cleared of any DOCTYPE). Throws an
// Error: Fault::kExport when the document is malformed, Fault::kMachine when
// no parser can be had. `name` is used in diagnostics only.
std::shared_ptr<Document> Parse(std::string bytes, const std::string& name);

}  // namespace sbrep::oracle::dom
