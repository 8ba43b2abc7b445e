// STUB: to be implemented.
#include "declaration/declaration.h"

#include <stdexcept>

namespace sbrep {
DeclarationNode::DeclarationNode(std::shared_ptr<const dom::Node> node) : node_(std::move(node)) {}
const std::vector<std::shared_ptr<const dom::Node>>& DeclarationNode::children() const {
  throw std::logic_error("stub");
}
DeclarationDocument::DeclarationDocument(std::shared_ptr<dom::Document> document)
    : document_(std::move(document)) {}
DeclarationDocument LoadDeclaration(const std::string&) { throw std::logic_error("stub"); }
std::string RootName(const DeclarationDocument&) { throw std::logic_error("stub"); }
DeclarationNode Root(const DeclarationDocument&) { throw std::logic_error("stub"); }
std::optional<DeclarationNode> FindChild(const DeclarationNode&, std::string_view) {
  throw std::logic_error("stub");
}
bool HasChildren(const DeclarationNode&) { throw std::logic_error("stub"); }
std::size_t ChildCount(const DeclarationNode&) { throw std::logic_error("stub"); }
DeclarationNode ChildAt(const DeclarationNode&, std::size_t) { throw std::logic_error("stub"); }
std::string NodeName(const DeclarationNode&) { throw std::logic_error("stub"); }
std::string NodeText(const DeclarationNode&) { throw std::logic_error("stub"); }
std::string ChildText(const DeclarationNode&, std::string_view) { throw std::logic_error("stub"); }
std::optional<std::string> ToGbk(std::string_view) { throw std::logic_error("stub"); }
void CloseDeclaration(DeclarationDocument&) {}
}  // namespace sbrep
