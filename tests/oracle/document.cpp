// The access layer over the DOM oracles, as the library read exports before
// its one-pass reader: the whole file in memory, parsed into a tree, walked.
// The child model and the texts are computed here, once for both backends.
#include "oracle/document.h"

#include <algorithm>
#include <utility>

#include "core/error.h"
#include "core/text.h"
#include "oracle/dom.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"
#include "xml/encodings.h"
#include "xml/prolog.h"

namespace sbrep::oracle {
namespace {

using Children = std::vector<std::shared_ptr<const dom::Node>>;

std::string Trim(const std::string& text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && IsXmlSpace(text[from])) ++from;
  while (to > from && IsXmlSpace(text[to - 1])) --to;
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
        if (!AllXmlSpace(child->Data())) out->push_back(std::move(child));
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

// The data of the text and CDATA descendants in document order. Text nodes
// of white space alone count for nothing: the platform parser drops them
// while loading, and the other backend must agree. The walk keeps its own stack, so a deeply
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
      if (!AllXmlSpace(data)) text += data;
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

// Whether the whole-document readers took a declared encoding: the names of
// the reader's table, of the family the bytes are in.
bool Readable(const std::string& name, bool utf16) {
  const std::optional<EncodingEntry> entry = FindEncoding(name);
  return entry && (entry->form == Form::kUtf16) == utf16;
}

// The prolog as the whole-document readers guarded it: the DOCTYPE blanked,
// the encoding checked, and an alias declared (GB2312 read as GBK, SJIS as
// Shift_JIS) replaced by the name the parser knows best. Blanks keep every
// later position where it was where the name is no longer.
void GuardWholeProlog(std::string& bytes) {
  const Prolog prolog = GuardProlog(bytes, true);
  if (prolog.encoding.empty()) return;
  if (!Readable(prolog.encoding, prolog.utf16)) {
    ThrowExportError("the export declares the encoding '" + prolog.encoding +
                     "', which this does not read");
  }
  const std::string_view name = FindEncoding(prolog.encoding)->name;
  if (prolog.utf16 || prolog.encoding == name) return;
  const std::size_t declaration_end = bytes.find("?>");
  for (const char quote : {'"', '\''}) {
    const std::string literal = quote + prolog.encoding + quote;
    const std::size_t at = bytes.find(literal, prolog.mark);
    if (at == std::string::npos || at > declaration_end) continue;
    const std::string replacement = quote + std::string(name) + quote;
    bytes.replace(
        at, literal.size(),
        replacement +
            std::string(literal.size() - std::min(literal.size(), replacement.size()), ' '));
    return;
  }
}

const dom::Document& OpenDocument(const ExportDocument& document) {
  if (!document.is_open()) ThrowMachineError("the export has been closed");
  return document.document();
}

}  // namespace

ExportNode::ExportNode(std::shared_ptr<const dom::Node> node) : node_(std::move(node)) {}

const std::vector<std::shared_ptr<const dom::Node>>& ExportNode::children() const {
  if (!children_) {
    auto children = std::make_shared<Children>();
    if (node_) Collect(*node_, children.get());
    children_ = std::move(children);
  }
  return *children_;
}

ExportDocument::ExportDocument(std::shared_ptr<dom::Document> document)
    : document_(std::move(document)) {}

ExportDocument LoadExport(const std::string& path) {
  const std::string name = fs::NameOf(path);
  std::string bytes;
  {
    // Room for the whole file at once: growing by doubling would hold up to
    // twice the export while the parser builds its tree beside it.
    fs::Attributes attributes;
    if (fs::FileSystem().stat(path, &attributes).ok() && attributes.size < kMaxExportBytes) {
      bytes.reserve(static_cast<std::size_t>(attributes.size) + 1);
    }
    fs::File file;
    fs::Outcome outcome = file.Open(path, fs::OpenMode::kRead);
    if (outcome.ok()) outcome = file.ReadAll(&bytes, kMaxExportBytes);
    if (outcome.status == fs::Status::kTooLarge) {
      ThrowExportError("'" + name + "' is larger than " + std::to_string(kMaxExportBytes >> 20) +
                       " MB");
    }
    if (!outcome.ok()) {
      ThrowMachineError("cannot read '" + path + "': " + fs::Describe(outcome));
    }
  }
  GuardWholeProlog(bytes);
  return ExportDocument(dom::Parse(std::move(bytes), name));
}

std::string RootName(const ExportDocument& document) {
  const std::unique_ptr<dom::Node> root = OpenDocument(document).Root();
  return root ? root->Name() : std::string();
}

ExportNode Root(const ExportDocument& document) {
  std::unique_ptr<dom::Node> root = OpenDocument(document).Root();
  if (!root) ThrowExportError("the export has no root element");
  return ExportNode(std::move(root));
}

std::optional<ExportNode> FindChild(const ExportNode& node, std::string_view name) {
  for (const auto& child : node.children()) {
    if (child->Type() == dom::NodeType::kElement && child->Name() == name) {
      return ExportNode(child);
    }
  }
  return std::nullopt;
}

bool HasChildren(const ExportNode& node) { return !node.children().empty(); }

std::size_t ChildCount(const ExportNode& node) { return node.children().size(); }

ExportNode ChildAt(const ExportNode& node, std::size_t position) {
  const Children& children = node.children();
  if (position >= children.size()) {
    ThrowExportError("'" + NodeName(node) + "' has no child at position " +
                     std::to_string(position) + " (it has " + std::to_string(children.size()) +
                     ")");
  }
  return ExportNode(children[position]);
}

std::string NodeName(const ExportNode& node) {
  if (node.is_null() || node.node().Type() != dom::NodeType::kElement) return std::string();
  return node.node().Name();
}

std::string NodeText(const ExportNode& node) {
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

std::string ChildText(const ExportNode& node, std::string_view name) {
  const auto child = FindChild(node, name);
  return child ? NodeText(*child) : std::string();
}

std::optional<std::string> ToGbk(std::string_view text) { return Utf8ToGbk(text); }

void CloseExport(ExportDocument& document) { document.Close(); }

}  // namespace sbrep::oracle
