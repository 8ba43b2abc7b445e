// The DOM seam over libxml2. No network, no DTD loading, no entity
// substitution, and the default size limits.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <memory>

#include "core/error.h"
#include "oracle/compare.h"
#include "oracle/dom.h"
#include "xml/export_pass.h"

namespace sbrep::oracle::dom {
namespace {

struct FreeDoc {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct FreeContext {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
using DocPtr = std::unique_ptr<xmlDoc, FreeDoc>;
using ContextPtr = std::unique_ptr<xmlParserCtxt, FreeContext>;

class XmlDocument;

class XmlNode final : public Node {
 public:
  XmlNode(std::shared_ptr<const XmlDocument> document, xmlNode* node)
      : document_(std::move(document)), node_(node) {}

  NodeType Type() const override {
    switch (node_->type) {
      case XML_ELEMENT_NODE:
        return NodeType::kElement;
      case XML_TEXT_NODE:
        return NodeType::kText;
      case XML_CDATA_SECTION_NODE:
        return NodeType::kCData;
      case XML_ENTITY_REF_NODE:
        return NodeType::kEntityReference;
      default:
        return NodeType::kOther;
    }
  }

  std::string Name() const override {
    if (node_->type != XML_ELEMENT_NODE || node_->name == nullptr) return {};
    std::string name;
    if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
      name = reinterpret_cast<const char*>(node_->ns->prefix);
      name += ':';
    }
    name += reinterpret_cast<const char*>(node_->name);
    return name;
  }

  std::string Data() const override {
    if (node_->content == nullptr) return {};
    return reinterpret_cast<const char*>(node_->content);
  }

  std::unique_ptr<Node> FirstChild() const override {
    xmlNode* child = node_->children;
    // An unsubstituted reference points at the entity's declaration, whose
    // children are the replacement text.
    if (node_->type == XML_ENTITY_REF_NODE && child != nullptr && child->type == XML_ENTITY_DECL) {
      child = child->children;
    }
    return Wrap(child);
  }

  std::unique_ptr<Node> NextSibling() const override { return Wrap(node_->next); }

 private:
  std::unique_ptr<Node> Wrap(xmlNode* node) const {
    if (node == nullptr) return nullptr;
    return std::make_unique<XmlNode>(document_, node);
  }

  std::shared_ptr<const XmlDocument> document_;
  xmlNode* node_;
};

class XmlDocument final : public Document, public std::enable_shared_from_this<XmlDocument> {
 public:
  explicit XmlDocument(DocPtr doc) : doc_(std::move(doc)) {}

  std::unique_ptr<Node> Root() const override {
    xmlNode* root = xmlDocGetRootElement(doc_.get());
    if (root == nullptr) return nullptr;
    return std::make_unique<XmlNode>(shared_from_this(), root);
  }

 private:
  DocPtr doc_;
};

// Each CDATA section a node of its own, as the platform's parser counts them;
// libxml2's tree would add a section to one just before it. The whole-file
// parser hands a section over in one piece.
void SeparateCData(void* context, const xmlChar* value, int length) {
  auto* parser = static_cast<xmlParserCtxt*>(context);
  xmlNode* node = xmlNewCDataBlock(parser->myDoc, value, length);
  if (node == nullptr || parser->node == nullptr || xmlAddChild(parser->node, node) == nullptr) {
    xmlFreeNode(node);
    xmlStopParser(parser);
  }
}

}  // namespace

std::shared_ptr<Document> Parse(std::string bytes, const std::string& name) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    ThrowExportError("'" + name + "' is too large to parse");
  }
  xmlInitParser();
  ContextPtr context(xmlNewParserCtxt());
  if (!context) ThrowMachineError("no XML parser: libxml2 cannot make a parser context");
  context->sax->cdataBlock = &SeparateCData;
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                      XML_PARSE_COMPACT | XML_PARSE_NOBLANKS;
  DocPtr doc(xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                               nullptr, options));
  if (!doc || !context->wellFormed) {
    const xmlError* error = xmlCtxtGetLastError(context.get());
    if (error == nullptr) ThrowExportError("the export is not well-formed XML");
    ThrowExportError(ParseErrorDetail(error->line, error->int2,
                                      error->message != nullptr ? error->message : ""));
  }
  if (xmlDocGetRootElement(doc.get()) == nullptr)
    ThrowExportError("the export has no root element");
  return std::make_shared<XmlDocument>(std::move(doc));
}

}  // namespace sbrep::oracle::dom

namespace sbrep::oracle {

Oracle BuildOracle() { return Oracle::kSameParser; }

}  // namespace sbrep::oracle
