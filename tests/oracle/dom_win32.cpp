// The DOM seam over MSXML through COM. The document is loaded from a byte
// array, synchronously, with no external DTD or entity ever resolved.
#include <windows.h>

#include <msxml2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "core/error.h"
#include "oracle/compare.h"
#include "oracle/dom.h"
#include "platform/utf16_win32.h"
#include "xml/export_pass.h"

namespace sbrep::oracle::dom {
namespace {

// An owned COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }

  // For an out parameter; releases what was held.
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR* Put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  BSTR get() const { return b_; }
  std::string Utf8() const {
    return b_ == nullptr ? std::string() : win32::Narrow(b_, SysStringLen(b_));
  }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

class SafeArray {
 public:
  explicit SafeArray(SAFEARRAY* array) : a_(array) {}
  ~SafeArray() {
    if (a_ != nullptr) SafeArrayDestroy(a_);
  }
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SAFEARRAY* get() const { return a_; }

 private:
  SAFEARRAY* a_;
};

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// COM on this thread for as long as the object lives. RPC_E_CHANGED_MODE
// means the thread already has a multithreaded apartment, which serves too.
class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    if (FAILED(hr_) && hr_ != RPC_E_CHANGED_MODE) {
      ThrowMachineError("no XML parser: COM cannot be initialised (" + Hex(hr_) + ")");
    }
  }
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;

 private:
  HRESULT hr_;
};

class MsxmlDocument;

class MsxmlNode final : public Node {
 public:
  MsxmlNode(std::shared_ptr<const MsxmlDocument> document, ComPtr<IXMLDOMNode> node)
      : document_(std::move(document)), node_(std::move(node)) {
    DOMNodeType type = NODE_INVALID;
    node_->get_nodeType(&type);
    switch (type) {
      case NODE_ELEMENT:
        type_ = NodeType::kElement;
        break;
      case NODE_TEXT:
        type_ = NodeType::kText;
        break;
      case NODE_CDATA_SECTION:
        type_ = NodeType::kCData;
        break;
      case NODE_ENTITY_REFERENCE:
        type_ = NodeType::kEntityReference;
        break;
      default:
        type_ = NodeType::kOther;
        break;
    }
  }

  NodeType Type() const override { return type_; }

  // Kept once read: the readers look names up again and again.
  std::string Name() const override {
    if (type_ != NodeType::kElement) return {};
    if (!name_) {
      Bstr name;
      if (FAILED(node_->get_nodeName(name.Put()))) {
        ThrowMachineError("the XML parser cannot give an element's name");
      }
      name_ = name.Utf8();
    }
    return *name_;
  }

  std::string Data() const override {
    if (type_ != NodeType::kText && type_ != NodeType::kCData) return {};
    Variant value;
    if (FAILED(node_->get_nodeValue(value.get()))) {
      ThrowMachineError("the XML parser cannot give a text");
    }
    if (value.get()->vt != VT_BSTR || value.get()->bstrVal == nullptr) return {};
    return win32::Narrow(value.get()->bstrVal, SysStringLen(value.get()->bstrVal));
  }

  std::unique_ptr<Node> FirstChild() const override {
    ComPtr<IXMLDOMNode> child;
    if (node_->get_firstChild(child.Put()) != S_OK) return nullptr;
    return Wrap(std::move(child));
  }

  std::unique_ptr<Node> NextSibling() const override {
    ComPtr<IXMLDOMNode> next;
    if (node_->get_nextSibling(next.Put()) != S_OK) return nullptr;
    return Wrap(std::move(next));
  }

 private:
  std::unique_ptr<Node> Wrap(ComPtr<IXMLDOMNode> node) const {
    if (!node) return nullptr;
    return std::make_unique<MsxmlNode>(document_, std::move(node));
  }

  // Keeps COM initialised and the document alive while the node is in use.
  std::shared_ptr<const MsxmlDocument> document_;
  ComPtr<IXMLDOMNode> node_;
  NodeType type_ = NodeType::kOther;
  mutable std::optional<std::string> name_;
};

class MsxmlDocument final : public Document, public std::enable_shared_from_this<MsxmlDocument> {
 public:
  MsxmlDocument() { Create(); }

  void Load(std::string bytes, const std::string& name) {
    if (bytes.size() > 0xFFFFFFFFu) ThrowExportError("'" + name + "' is too large to parse");
    SafeArray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
    if (array.get() == nullptr) ThrowMachineError("no memory for '" + name + "'");
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array.get(), &data))) {
      ThrowMachineError("no memory for '" + name + "'");
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array.get());
    std::string().swap(bytes);  // one copy at a time

    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = array.get();  // still owned by `array`
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = doc_->load(source, &loaded);
    if (hr == E_OUTOFMEMORY) ThrowMachineError("no memory to parse '" + name + "'");
    if (FAILED(hr) || loaded != VARIANT_TRUE) ThrowExportError(ParseError(hr));
    ComPtr<IXMLDOMElement> root;
    if (doc_->get_documentElement(root.Put()) != S_OK || !root) {
      ThrowExportError("the export has no root element");
    }
  }

  std::unique_ptr<Node> Root() const override {
    ComPtr<IXMLDOMElement> element;
    if (doc_->get_documentElement(element.Put()) != S_OK || !element) return nullptr;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(element->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.Put())))) {
      return nullptr;
    }
    return std::make_unique<MsxmlNode>(shared_from_this(), std::move(node));
  }

 private:
  void Create() {
    static const wchar_t* const kProgIds[] = {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"};
    HRESULT hr = REGDB_E_CLASSNOTREG;
    for (const wchar_t* prog_id : kProgIds) {
      CLSID clsid;
      hr = CLSIDFromProgID(prog_id, &clsid);
      if (FAILED(hr)) continue;
      hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                            reinterpret_cast<void**>(doc_.Put()));
      if (SUCCEEDED(hr) && doc_) break;
    }
    if (!doc_) {
      ThrowMachineError("no XML parser: Msxml2.DOMDocument 6.0 or 3.0 cannot be created (" +
                        Hex(hr) + ")");
    }
    // Synchronous, and nothing outside the bytes is ever fetched.
    if (FAILED(doc_->put_async(VARIANT_FALSE)) ||
        FAILED(doc_->put_resolveExternals(VARIANT_FALSE)) ||
        FAILED(doc_->put_validateOnParse(VARIANT_FALSE))) {
      ThrowMachineError("the XML parser refuses its settings");
    }
  }

  std::string ParseError(HRESULT hr) const {
    ComPtr<IXMLDOMParseError> error;
    if (FAILED(doc_->get_parseError(error.Put())) || !error) {
      return "the export is not well-formed XML (" + Hex(hr) + ")";
    }
    LONG line = 0;
    LONG column = 0;
    Bstr reason;
    error->get_line(&line);
    error->get_linepos(&column);
    error->get_reason(reason.Put());
    return ParseErrorDetail(line, column, reason.Utf8());
  }

  // Declared first, so that COM outlives the document's pointers.
  Apartment apartment_;
  ComPtr<IXMLDOMDocument> doc_;
};

}  // namespace

std::shared_ptr<Document> Parse(std::string bytes, const std::string& name) {
  auto document = std::make_shared<MsxmlDocument>();
  document->Load(std::move(bytes), name);
  return document;
}

}  // namespace sbrep::oracle::dom

namespace sbrep::oracle {

Oracle BuildOracle() { return Oracle::kPlatformParser; }

}  // namespace sbrep::oracle
