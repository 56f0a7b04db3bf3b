#include "platform/XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <mutex>

#include "platform/IdHTTP.h"

namespace vendrix {
namespace {

const xmlChar* Xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
const char* Chars(const xmlChar* text) { return reinterpret_cast<const char*>(text); }

void InitLibxml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

bool IsChildNode(const xmlNode* node) {
  // Attributes and namespace declarations are not children in the document model used here.
  return node->type != XML_ATTRIBUTE_NODE && node->type != XML_NAMESPACE_DECL;
}

bool NameEquals(const xmlNode* node, std::string_view name) {
  if (node->type != XML_ELEMENT_NODE || node->name == nullptr) return false;
  std::string_view local = Chars(node->name);
  if (node->ns != nullptr && node->ns->prefix != nullptr) {
    std::string_view prefix = Chars(node->ns->prefix);
    return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
           name[prefix.size()] == ':' && name.ends_with(local);
  }
  return name == local;
}

bool IsBlank(const xmlChar* text) {
  if (text == nullptr) return true;
  for (; *text != 0; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  }
  return true;
}

// Whitespace between elements is layout, not content: drop every whitespace-only text node.
void DropBlankText(xmlNode* root) {
  xmlNode* node = root;
  while (node != nullptr) {
    if (node->children != nullptr && node->type == XML_ELEMENT_NODE) {
      node = node->children;
      continue;
    }
    // Move on before unlinking: next sibling, or the next sibling of the nearest ancestor.
    xmlNode* current = node;
    while (node != root && node->next == nullptr) node = node->parent;
    node = node == root ? nullptr : node->next;
    if (current->type == XML_TEXT_NODE && IsBlank(current->content)) {
      xmlUnlinkNode(current);
      xmlFreeNode(current);
    }
  }
}

// Documents that declare entities are refused outright: platform replies and the
// configuration never declare any, and entity expansion is how a reply could exhaust memory.
void RefuseEntityDeclaration(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*,
                             xmlChar*) {
  auto* ctxt = static_cast<xmlParserCtxt*>(context);
  ctxt->_private = ctxt;  // marks why the parse stopped
  ctxt->wellFormed = 0;
  xmlStopParser(ctxt);
}

// The encoding named by the XML declaration at the start of `bytes`, or "".
std::string DeclaredEncoding(std::string_view bytes) {
  if (!bytes.starts_with("<?xml")) return "";
  std::string_view declaration = bytes.substr(0, bytes.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return "";
  size_t open = declaration.find_first_of("\"'", at);
  if (open == std::string_view::npos) return "";
  size_t close = declaration.find(declaration[open], open + 1);
  if (close == std::string_view::npos) return "";
  return std::string(declaration.substr(open + 1, close - open - 1));
}

bool IsGb2312(std::string_view name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "gb2312" || lower == "gb_2312-80" || lower == "csgb2312" || lower == "euc-cn" ||
         lower == "x-euc-cn";
}

// The parser's messages go here instead of stderr; the first error (not a warning) explains a
// failure, with its own line.
struct FirstError {
  std::string message;
  int line = 0;
};
void KeepFirstError(void* context, xmlError* error) {
  auto* first = static_cast<FirstError*>(context);
  if (first->message.empty() && error != nullptr && error->message != nullptr &&
      error->level >= XML_ERR_ERROR) {
    first->message = error->message;
    first->line = error->line;
  }
}

struct ParserContextDeleter {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

}  // namespace

std::string XmlNode::Name() const { return Chars(Require()->name); }

xmlNode* XmlNode::Require() const {
  if (node_ == nullptr) throw EXmlError("Node is empty");
  return node_;
}

size_t XmlNode::ChildCount() const {
  size_t count = 0;
  for (xmlNode* c = Require()->children; c != nullptr; c = c->next) {
    if (IsChildNode(c)) ++count;
  }
  return count;
}

XmlNode XmlNode::ChildAt(size_t index) const {
  for (xmlNode* c = Require()->children; c != nullptr; c = c->next) {
    if (!IsChildNode(c)) continue;
    if (index == 0) return XmlNode(c);
    --index;
  }
  throw EXmlError("List index out of bounds");
}

XmlNode XmlNode::FindChild(std::string_view name) const {
  for (xmlNode* c = Require()->children; c != nullptr; c = c->next) {
    if (NameEquals(c, name)) return XmlNode(c);
  }
  return XmlNode();
}

XmlNode XmlNode::Child(std::string_view name) const {
  if (XmlNode found = FindChild(name)) return found;
  xmlNode* parent = node_;
  if (parent->type != XML_ELEMENT_NODE) throw EXmlError("Only elements have child elements");
  std::string owned(name);
  xmlNode* added = xmlNewDocNode(parent->doc, nullptr, Xml(owned.c_str()), nullptr);
  if (added == nullptr) throw EXmlError("Out of memory");
  xmlAddChild(parent, added);
  return XmlNode(added);
}

std::string XmlNode::Text() const {
  xmlNode* node = Require();
  if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
    return node->content ? Chars(node->content) : "";
  }
  xmlNode* only = nullptr;
  for (xmlNode* c = node->children; c != nullptr; c = c->next) {
    if (!IsChildNode(c)) continue;
    if (only != nullptr) throw EXmlError("Element does not contain a single text node");
    only = c;
  }
  if (only == nullptr) return "";
  if (only->type != XML_TEXT_NODE && only->type != XML_CDATA_SECTION_NODE) {
    throw EXmlError("Element does not contain a single text node");
  }
  return only->content ? Chars(only->content) : "";
}

XmlDocument::XmlDocument() { InitLibxml(); }

XmlDocument::~XmlDocument() { Clear(); }

void XmlDocument::Clear() {
  if (doc_ != nullptr) xmlFreeDoc(doc_);
  doc_ = nullptr;
}

void XmlDocument::LoadFromText(std::string_view bytes) {
  Clear();
  if (bytes.size() > INT_MAX) throw EXmlError("Document too large");
  std::unique_ptr<xmlParserCtxt, ParserContextDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw EXmlError("Out of memory");
  ctxt->sax->entityDecl = RefuseEntityDeclaration;
  // Messages the parser raises outside the context (its encoders') go to this thread's
  // handler; they are kept for the failure, never printed.
  FirstError first;
  xmlSetStructuredErrorFunc(&first, KeepFirstError);
  struct RestoreHandler {
    ~RestoreHandler() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
  } restore;
  // No network, no DTD loading, no entity substitution, no messages on stderr.
  int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  // Replies that declare GB2312 hold GBK characters outside it (镕): read them as GBK, the
  // superset, as web browsers do.
  const char* encoding = IsGb2312(DeclaredEncoding(bytes)) ? "GBK" : nullptr;
  xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                  encoding, options);
  if (doc == nullptr || !ctxt->wellFormed || xmlDocGetRootElement(doc) == nullptr) {
    std::string message = "The XML document is not well-formed";
    const xmlError* error = xmlCtxtGetLastError(ctxt.get());
    if (ctxt->_private != nullptr) {
      message += ": entity declarations are not accepted";
    } else if (!first.message.empty() || (error != nullptr && error->message != nullptr)) {
      bool own = !first.message.empty();
      message += " (line " + std::to_string(own ? first.line : error->line) +
                 "): " + (own ? first.message : std::string(error->message));
      while (!message.empty() && message.back() == '\n') message.pop_back();
      std::replace(message.begin(), message.end(), '\n', ' ');
    } else {
      message += ": no document element";
    }
    if (doc != nullptr) xmlFreeDoc(doc);
    throw EXmlError(message);
  }
  DropBlankText(xmlDocGetRootElement(doc));
  doc_ = doc;
}

void XmlDocument::LoadFromAddress(const std::string& address) {
  Clear();
  LoadFromText(Http().Get(address));
}

XmlNode XmlDocument::Root() const {
  if (doc_ == nullptr) throw EXmlError("The document is not loaded");
  return XmlNode(xmlDocGetRootElement(doc_));
}

TIdHTTP& XmlDocument::Http() {
  if (!http_) {
    http_ = std::make_unique<TIdHTTP>();
    http_->SetReadTimeout(xml_defaults::kLoadReadTimeout);
    http_->SetTransferTimeout(xml_defaults::kLoadTransferTimeout);
  }
  return *http_;
}

}  // namespace vendrix
