// The access layer over the DOM seam. The child model and the texts are
// computed here, once for both backends, so that they cannot disagree.
#include "declaration/declaration.h"

#include <utility>

#include "declaration/codepage.h"
#include "declaration/dom.h"
#include "declaration/prolog.h"
#include "export/error.h"
#include "filingclient/filesystem.h"

namespace sbrep {
namespace {

using Children = std::vector<std::shared_ptr<const dom::Node>>;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlank(const std::string& text) {
  for (const char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

std::string Trim(const std::string& text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && IsBlank(text[from])) ++from;
  while (to > from && IsBlank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

// Appends the children of `parent` that the model counts. The content of an
// entity reference stands in its place.
void Collect(const dom::Node& parent, Children* out) {
  for (std::unique_ptr<dom::Node> child = parent.FirstChild(); child;) {
    std::unique_ptr<dom::Node> next = child->NextSibling();
    switch (child->Type()) {
      case dom::NodeType::kElement:
        out->push_back(std::move(child));
        break;
      case dom::NodeType::kText:
      case dom::NodeType::kCData:
        if (!IsBlank(child->Data())) out->push_back(std::move(child));
        break;
      case dom::NodeType::kEntityReference:
        Collect(*child, out);
        break;
      case dom::NodeType::kOther:
        break;
    }
    child = std::move(next);
  }
}

// The data of the text and CDATA descendants in document order. Blank text
// nodes count for nothing: the platform parser drops them while loading, and
// the other backend must agree. The walk keeps its own stack, so a deeply
// nested export cannot exhaust the thread's.
std::string DescendantText(const dom::Node& node) {
  std::string text;
  std::vector<std::unique_ptr<dom::Node>> stack;
  std::unique_ptr<dom::Node> current = node.FirstChild();
  for (;;) {
    if (!current) {
      if (stack.empty()) break;
      current = stack.back()->NextSibling();
      stack.pop_back();
      continue;
    }
    const dom::NodeType type = current->Type();
    if (type == dom::NodeType::kText) {
      std::string data = current->Data();
      if (!IsBlank(data)) text += data;
    } else if (type == dom::NodeType::kCData) {
      text += current->Data();
    }
    if (type == dom::NodeType::kElement || type == dom::NodeType::kEntityReference) {
      std::unique_ptr<dom::Node> first = current->FirstChild();
      if (first) {
        stack.push_back(std::move(current));
        current = std::move(first);
        continue;
      }
    }
    current = current->NextSibling();
  }
  return text;
}

const dom::Document& OpenDocument(const DeclarationDocument& document) {
  if (!document.is_open()) ThrowMachineError("the declaration has been closed");
  return document.document();
}

}  // namespace

DeclarationNode::DeclarationNode(std::shared_ptr<const dom::Node> node) : node_(std::move(node)) {}

const std::vector<std::shared_ptr<const dom::Node>>& DeclarationNode::children() const {
  if (!children_) {
    auto children = std::make_shared<Children>();
    if (node_) Collect(*node_, children.get());
    children_ = std::move(children);
  }
  return *children_;
}

DeclarationDocument::DeclarationDocument(std::shared_ptr<dom::Document> document)
    : document_(std::move(document)) {}

DeclarationDocument LoadDeclaration(const std::string& path) {
  const std::string name = fs::NameOf(path);
  std::string bytes;
  {
    // Room for the whole file at once: growing by doubling would hold up to
    // twice the export while the parser builds its tree beside it.
    fs::Attributes attributes;
    if (fs::FileSystem().stat(path, &attributes).ok() && attributes.size < kMaxDeclarationBytes) {
      bytes.reserve(static_cast<std::size_t>(attributes.size) + 1);
    }
    fs::File file;
    fs::Outcome outcome = file.Open(path, fs::OpenMode::kRead);
    if (outcome.ok()) outcome = file.ReadAll(&bytes, kMaxDeclarationBytes);
    if (outcome.status == fs::Status::kTooLarge) {
      ThrowExportError("'" + name + "' is larger than " +
                       std::to_string(kMaxDeclarationBytes >> 20) + " MB");
    }
    if (!outcome.ok()) {
      ThrowMachineError("cannot read '" + path + "': " + fs::Describe(outcome));
    }
  }
  NeutraliseProlog(bytes);
  return DeclarationDocument(dom::Parse(std::move(bytes), name));
}

std::string RootName(const DeclarationDocument& document) {
  const std::unique_ptr<dom::Node> root = OpenDocument(document).Root();
  return root ? root->Name() : std::string();
}

DeclarationNode Root(const DeclarationDocument& document) {
  std::unique_ptr<dom::Node> root = OpenDocument(document).Root();
  if (!root) ThrowExportError("the export has no root element");
  return DeclarationNode(std::move(root));
}

std::optional<DeclarationNode> FindChild(const DeclarationNode& node, std::string_view name) {
  for (const auto& child : node.children()) {
    if (child->Type() == dom::NodeType::kElement && child->Name() == name) {
      return DeclarationNode(child);
    }
  }
  return std::nullopt;
}

bool HasChildren(const DeclarationNode& node) { return !node.children().empty(); }

std::size_t ChildCount(const DeclarationNode& node) { return node.children().size(); }

DeclarationNode ChildAt(const DeclarationNode& node, std::size_t position) {
  const Children& children = node.children();
  if (position >= children.size()) {
    ThrowExportError("'" + NodeName(node) + "' has no child at position " +
                     std::to_string(position) + " (it has " + std::to_string(children.size()) +
                     ")");
  }
  return DeclarationNode(children[position]);
}

std::string NodeName(const DeclarationNode& node) {
  if (node.is_null() || node.node().Type() != dom::NodeType::kElement) return std::string();
  return node.node().Name();
}

std::string NodeText(const DeclarationNode& node) {
  if (node.is_null()) return std::string();
  const dom::Node& n = node.node();
  switch (n.Type()) {
    case dom::NodeType::kText:
    case dom::NodeType::kCData:
      return Trim(n.Data());
    case dom::NodeType::kElement:
    case dom::NodeType::kEntityReference:
      return Trim(DescendantText(n));
    case dom::NodeType::kOther:
      break;
  }
  return std::string();
}

std::string ChildText(const DeclarationNode& node, std::string_view name) {
  const auto child = FindChild(node, name);
  return child ? NodeText(*child) : std::string();
}

std::optional<std::string> ToGbk(std::string_view text) { return Utf8ToGbk(text); }

void CloseDeclaration(DeclarationDocument& document) { document.Close(); }

}  // namespace sbrep
