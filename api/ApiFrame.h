// The call frame that every platform component shares: request signing and address assembly,
// the fetch, the reply's presence check and the text helpers of the walks. A component serves
// one call at a time, on whichever single thread its owner uses it from.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IdHTTP.h"
#include "platform/XmlDocument.h"

namespace vendrix {

// Defaults shared by every component.
namespace api_defaults {
inline constexpr const char* kVersion = "2.0";
inline constexpr const char* kFormat = "xml";
inline constexpr const char* kSignMethod = "md5";
inline constexpr int kReadTimeout = 15000;  // ms per wait for the gateway's reply
// ms for a whole call: a gateway that trickles its reply must not hold a search for ever.
inline constexpr int kTransferTimeout = 60000;
// The platform reads every timestamp as Beijing time, UTC+8 all year round, and refuses one
// that is more than ten minutes off, whatever the zone the machine is set to.
inline constexpr int kPlatformUtcOffset = 8 * 3600;  // seconds
}  // namespace api_defaults

// A named text field of a record, for code that walks records generically (the command line
// prints result tables and sets conditions by field name).
template <typename Record>
struct FieldRef {
  const char* name;
  std::string Record::*member;
};

// Every byte as "%" and its upper-case hexadecimal value without leading zero: "\n" -> "%A".
std::string EncodeValue(std::string_view bytes);

// "yyyy-mm-dd hh:nn:ss" of a calendar time.
std::string FormatTimestamp(const std::tm& time);

// The wall clock BuildUrl reads, as calendar time in Beijing; replaceable in tests.
using ApiClock = std::function<std::tm()>;
// The current calendar time in Beijing, the platform's time, whatever TZ says.
std::tm BeijingNow();
// The seconds since 1970 (UTC) of a calendar time in Beijing.
int64_t BeijingSeconds(const std::tm& beijing);

// The text with every "<...>" run removed, the text between tags kept. A "<" without a later
// ">" and a ">" without an earlier "<" stay as text.
std::string StripTags(std::string_view text);

// The GBK text of `parent`'s child element `name`; a missing child reads as empty (it is
// appended). Raises when the child holds more than one text.
std::string ReadText(const XmlNode& parent, const std::string& name);

// How a value goes into the query; the signing string always takes it unencoded.
enum class ValueForm {
  kPlain,        // as stored
  kEncoded,      // EncodeValue
  kUtf8Encoded,  // GBK -> UTF-8 (signed in UTF-8 too), then EncodeValue
};

// Builds a signed request address: the signing string is secret + every name and value in
// the order added + secret, its MD5 the `sign` parameter, which comes last.
class SignedRequest {
 public:
  // Starts with the app_key pair.
  SignedRequest(const std::string& app_sec, const std::string& app_key_name,
                const std::string& app_key);
  // Adds a parameter, even with an empty value.
  void Add(const std::string& name, const std::string& value, ValueForm form = ValueForm::kPlain);
  // Adds a parameter only when its value is non-empty.
  void AddIfSet(const std::string& name, const std::string& value,
                ValueForm form = ValueForm::kPlain);
  // http "?" query sign_name "=" signature.
  std::string Address(const std::string& http, const std::string& sign_name) const;
  std::string SigningString() const { return signing_ + secret_; }

 private:
  std::string secret_;
  std::string signing_;
  std::string query_;
};

// Why the last call of a component returned false, kept for the user to read.
struct CallFailure {
  enum Kind {
    kNone,        // the call succeeded, or none was made
    kNotSent,     // a required value was missing: nothing went out
    kTransport,   // no reply was read: connection, time-out, a reply the client refused
    kHttpStatus,  // an HTTP error status
    kPlatform,    // the platform's error reply
    kReply,       // a reply that could not be read or lacks what the call needs
    kNoResult,    // a well-formed reply without the call's result: how the platform answers
                  // when it has nothing for the call (no such user, an item it does not convert)
  };
  Kind kind = kNone;
  int code = 0;          // the HTTP status, or the platform's code
  std::string message;   // UTF-8: the client's or the parser's message, the status line, the
                         // platform's msg, or what was missing
  std::string sub_code;  // the platform's sub_code and sub_msg, when its reply gives them
  std::string sub_msg;
  // Seconds by which the component's clock (the one BuildUrl reads) was ahead of the server's
  // when the reply came, negative when behind, by the reply's Date header; nullopt when no
  // reply was read or it carried no readable Date.
  std::optional<int64_t> clock_offset;

  bool Failed() const { return kind != kNone; }
};

// The failure in one line of English: "HTTP/1.1 502 Bad Gateway", "platform error 25:
// Invalid signature", "Read Timeout", "not sent: no credentials"...
std::string DescribeFailure(const CallFailure& failure);

// The part of every component that is not about its records: the HTTP client, the XML
// document, the clock, and RunRequest with the one catch-all that turns any failure into false.
class TApiComponent {
 public:
  virtual ~TApiComponent();
  TApiComponent(const TApiComponent&) = delete;
  TApiComponent& operator=(const TApiComponent&) = delete;

  // The client the component fetches with (for the item conversion, the document's own).
  TIdHTTP& Http();
  XmlDocument& Document() { return document_; }
  void SetClock(ApiClock clock) { clock_ = std::move(clock); }
  // The gateway address a Name record without `http` gets; the setting by default.
  void SetDefaultGateway(std::string gateway) { gateway_ = std::move(gateway); }
  const std::string& DefaultGateway() const { return gateway_; }
  // Rows the last walk wrote: what the caller may read of the result table.
  size_t RowsWritten() const { return rows_written_; }
  // Why the last Execute returned false; kind kNone after one that returned true.
  const CallFailure& LastFailure() const { return failure_; }

  // The signed request address of the records as they stand after ApplyDefaults.
  virtual std::string BuildUrl() const = 0;

 protected:
  // `own_http`: whether the component fetches through a client of its own.
  TApiComponent(bool own_http, int read_timeout);

  // Builds, fetches and parses the reply, checks for the presence element and walks it.
  bool RunRequest();
  std::string Fetch(const std::string& address);
  std::string Timestamp() const { return FormatTimestamp(clock_()); }

  // Loads the reply of `address` into the document: fetch, then parse.
  virtual void LoadReply(const std::string& address);
  virtual const std::string& PresenceName() const = 0;
  virtual void ParseResponse() = 0;

  size_t rows_written_ = 0;
  CallFailure failure_;

 private:
  // Declared before the document, so the document is freed first.
  std::unique_ptr<TIdHTTP> http_;
  XmlDocument document_;
  ApiClock clock_ = BeijingNow;
  std::string gateway_;
};

// Puts `value` into `field` when it is empty.
inline void Default(std::string& field, const char* value) {
  if (field.empty()) field = value;
}

// The frame of one call with its four records: Execute copies them in, checks the required
// values, fills the defaults and runs the request.
template <typename Conditions, typename Info, typename Name, typename Xml>
class TApiCall : public TApiComponent {
 public:
  using ConditionsType = Conditions;
  using InfoType = Info;
  using NameType = Name;
  using XmlType = Xml;

  // True when the required values of the copied Conditions are present.
  bool CanExecute() const { return MissingValue() == nullptr; }
  // The first required value the copied Conditions lack, in words ("credentials",
  // "nick"...); nullptr when none is missing.
  virtual const char* MissingValue() const = 0;
  // Puts the built-in default into every empty field of the four copies.
  virtual void ApplyDefaults() = 0;

  const Conditions& CondCopy() const { return cond_; }
  const Info& BackCopy() const { return back_; }
  const Name& NameCopy() const { return name_; }
  const Xml& XmlCopy() const { return xml_; }

 protected:
  using TApiComponent::TApiComponent;

  // The defaults every component shares: the names of the system parameters, the gateway,
  // and the values of v, format, sign_method and the component's `method`.
  void ApplyCommonDefaults(const char* method) {
    Default(name_.v, "v");
    Default(name_.timestamp, "timestamp");
    Default(name_.http, DefaultGateway().c_str());
    Default(name_.sign, "sign");
    Default(name_.fields, "fields");
    Default(name_.format, "format");
    Default(name_.method, "method");
    Default(name_.app_key, "app_key");
    Default(name_.sign_method, "sign_method");
    Default(cond_.v, api_defaults::kVersion);
    Default(cond_.format, api_defaults::kFormat);
    Default(cond_.method, method);
    Default(cond_.sign_method, api_defaults::kSignMethod);
  }

  bool Call(const Conditions& cond, const Info& back, const Name& name, const Xml& xml) {
    name_ = name;
    back_ = back;
    cond_ = cond;
    xml_ = xml;
    failure_ = {};
    if (const char* missing = MissingValue()) {
      failure_ = {CallFailure::kNotSent, 0, std::string("no ") + missing};
      return false;
    }
    ApplyDefaults();
    return RunRequest();
  }

  Name name_;
  Info back_;
  Conditions cond_;
  Xml xml_;
};

// Either credential suffices.
inline bool HasCredentials(const std::string& app_key, const std::string& app_sec) {
  return !app_key.empty() || !app_sec.empty();
}

}  // namespace vendrix
