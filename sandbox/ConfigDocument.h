// The vendor's configuration document as the sandbox serves it at /taoke/api.php: the
// credentials, the affiliate nick and a section per component, with the renames of
// WireNames::Renamed() spelled out when those are in force.
#pragma once

#include <string>

namespace vendrix::sandbox {

namespace sandbox_credentials {
inline constexpr const char* kAppKey = "21000001";
inline constexpr const char* kAppSecret = "sandbox0secret0a7f3c9e";
inline constexpr const char* kAffiliateNick = "淘客联盟小助手";
}  // namespace sandbox_credentials

// The document (UTF-8 text without the XML declaration). `gateway` is the address the renamed
// document announces in its "http" elements.
std::string ConfigDocument(bool renamed, const std::string& gateway);

}  // namespace vendrix::sandbox
