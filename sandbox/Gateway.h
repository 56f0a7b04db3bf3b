// The sandbox's platform gateway (/router/rest): checks each request the way the platform does
// (application key, signature over the received parameters, method, required and valid values,
// a timestamp within ten minutes of Beijing time) and answers the seven methods from the marketplace in the platform's reply shapes. Safe to
// call from any number of connection threads.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sandbox/ConfigDocument.h"
#include "sandbox/Marketplace.h"
#include "sandbox/WireNames.h"

namespace vendrix::sandbox {

class XmlText;

// The parameters of a query, percent-decoded; a one-digit escape ("%A") decodes too.
std::map<std::string, std::string> DecodeQuery(const std::string& query);

// The platform's signature of received parameters: upper-case MD5 of the secret, every
// parameter but `sign` as name and value in ascending byte order of the names, the secret.
std::string PlatformSignature(const std::map<std::string, std::string>& params,
                              const std::string& secret);

// The platform's limit on a timestamp's distance from Beijing time, and the one value it lets
// through whatever the time: the affiliate item search's fixed timestamp.
namespace gateway_defaults {
inline constexpr int64_t kTimestampTolerance = 600;  // seconds
inline constexpr const char* kFixedTimestampMethod = "taobao.taobaoke.items.get";
inline constexpr const char* kFixedTimestamp = "2010-01-26 12:29:01";
}  // namespace gateway_defaults

// The seconds since 1970 of a "yyyy-mm-dd hh:mm:ss" timestamp read as Beijing time; false when
// the text is not one (another form, a date that does not exist).
bool ParseTimestamp(const std::string& text, int64_t& seconds);

// An XML text with &, <, > and quotes escaped.
std::string EscapeXml(const std::string& text);

struct GatewayOptions {
  std::string base;  // "http://127.0.0.1:port/", for picture and click addresses
  std::string app_key = sandbox_credentials::kAppKey;  // the one application it knows
  std::string app_secret = sandbox_credentials::kAppSecret;
  int64_t clock_offset = 0;  // seconds the platform's clock runs ahead of the machine's
  bool gbk = false;  // answer in GBK with a GBK declaration
  bool reverse_conversions = false;  // converted items come in the reverse of the ids' order
  WireNames names = WireNames::Platform();
};

struct GatewayReply {
  std::string body;          // the XML document, in the reply's encoding
  std::string method;        // the method asked for, when there was one
  int error_code = 0;        // the platform error answered, 0 for a result
  std::string content_type;  // "text/xml;charset=UTF-8" or "...GBK"
};

class Gateway {
 public:
  Gateway(const Marketplace& market, GatewayOptions options);

  // Answers the query string of one request.
  GatewayReply Handle(const std::string& query) const;

  // The error reply of `code` (25 for an invalid signature...), as the platform words it.
  GatewayReply Error(int code, const std::string& detail = "") const;

 private:
  struct Call;
  std::string Result(const Call& call) const;
  std::string Categories(const Call& call) const;
  std::string Users(const Call& call) const;
  std::string Shop(const Call& call) const;
  std::string ShopsConvert(const Call& call) const;
  std::string ItemsSearch(const Call& call) const;
  std::string AffiliateItems(const Call& call) const;
  std::string ItemsConvert(const Call& call) const;
  // Puts affiliate items in the platform's order `sort` ("price_desc", ...).
  void SortAffiliateItems(const std::string& sort, std::vector<const Item*>& items) const;
  // One affiliate item of items.get or items.convert, with the fields the call asked for.
  void AffiliateItem(const Call& call, XmlText& xml, const Item& item, const std::string& title,
                     const std::string& affiliate) const;
  GatewayReply Finish(std::string utf8_body, const std::string& method, int code) const;
  // Refuses (code 31) a timestamp that is not one, or more than ten minutes from the
  // platform's Beijing time; the affiliate item search's fixed value passes.
  void CheckTimestamp(const std::string& method, const std::string& timestamp) const;

  const Marketplace& market_;
  GatewayOptions options_;
};

}  // namespace vendrix::sandbox
