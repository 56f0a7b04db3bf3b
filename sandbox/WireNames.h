// The parameter and reply element names the sandbox's gateway speaks: the platform's own, or,
// with --renamed, the vendor's renames that the sandbox's configuration document announces.
// Read-only after construction.
#pragma once

#include <map>
#include <string>
#include <utility>

namespace vendrix::sandbox {

class WireNames {
 public:
  // The platform's own names throughout.
  static WireNames Platform();
  // Some parameters and elements of every method renamed. Renamed parameters keep their place
  // in the ascending order of names, since the client signs in its fixed order.
  static WireNames Renamed();

  bool IsRenamed() const { return !params_.empty() || !elements_.empty(); }
  // The wire name of parameter `canonical` of `method`.
  std::string Param(const std::string& method, const std::string& canonical) const;
  // The wire name of reply element `canonical` of `method`.
  std::string Element(const std::string& method, const std::string& canonical) const;

 private:
  using Key = std::pair<std::string, std::string>;
  std::map<Key, std::string> params_;
  std::map<Key, std::string> elements_;
};

}  // namespace vendrix::sandbox
