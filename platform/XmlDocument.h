// The XML document service: parses platform replies and the configuration document with
// libxml2 and answers the name lookups the components make. Text crosses this interface as
// UTF-8. A document and its node handles are used by one thread at a time.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vendrix {

class TIdHTTP;

// Every failure of the service: malformed XML, a read of an element that holds no single
// text, any use of a document that is not loaded.
class EXmlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace xml_defaults {
inline constexpr int kLoadReadTimeout = 15000;      // ms per wait, for load from address
inline constexpr int kLoadTransferTimeout = 60000;  // ms for the whole load from address
}  // namespace xml_defaults

// A cheap handle on a node of a loaded document; valid until the document is cleared or loaded
// anew. A default-constructed handle is empty: every operation on it raises.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(xmlNode* node) : node_(node) {}

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }

  // The node's name with its prefix, if any ("#text" and the like for non-elements).
  std::string Name() const;

  // Child nodes of every kind (elements, text, CDATA, comments), whitespace-only text excepted.
  size_t ChildCount() const;
  XmlNode ChildAt(size_t index) const;  // raises when index >= ChildCount()

  // The first child element named exactly `name`; when there is none, a new empty element of
  // that name is appended and returned. Never reports a missing child.
  XmlNode Child(std::string_view name) const;

  // The first child element named exactly `name`, or an empty handle; changes nothing.
  XmlNode FindChild(std::string_view name) const;

  // The value of the element's single text or CDATA child; "" for an element without
  // children. Raises for an element with child elements or with several child nodes.
  std::string Text() const;

 private:
  xmlNode* Require() const;
  xmlNode* node_ = nullptr;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses `bytes` as received; the document's own encoding declaration decides how they are
  // decoded (UTF-8 without one). Unloads first; on failure raises and stays unloaded.
  void LoadFromText(std::string_view bytes);

  // Fetches `address` over HTTP (15 s per wait) and parses the body as LoadFromText does.
  void LoadFromAddress(const std::string& address);

  void Clear();
  bool Loaded() const { return doc_ != nullptr; }

  // The document element; raises when the document is not loaded.
  XmlNode Root() const;

  // The client that LoadFromAddress uses, created on first use; callers may abort it.
  TIdHTTP& Http();

 private:
  xmlDoc* doc_ = nullptr;
  std::unique_ptr<TIdHTTP> http_;
};

}  // namespace vendrix
