// The vendor's configuration document as the sandbox serves it at /taoke/api.php: the
// credentials the gateway accepts, the affiliate nick and a section per component, with the
// renames of WireNames::Renamed() spelled out when those are in force.
#pragma once

#include <string>

namespace vendrix::sandbox {

// The application key and secret the sandbox serves and accepts unless told others.
namespace sandbox_credentials {
inline constexpr const char* kAppKey = "21000001";
inline constexpr const char* kAppSecret = "sandbox0secret0a7f3c9e";
inline constexpr const char* kAffiliateNick = "淘客联盟小助手";
}  // namespace sandbox_credentials

// The document (UTF-8 text without the XML declaration), handing out `app_key` and
// `app_secret` (escaped as XML text). `gateway` is the address the renamed document announces
// in its "http" elements.
std::string ConfigDocument(bool renamed, const std::string& gateway, const std::string& app_key,
                           const std::string& app_secret);

}  // namespace vendrix::sandbox
