#include "api/ApiFrame.h"

#include <chrono>
#include <cstdio>

#include "api/MD5.h"
#include "platform/CodePage.h"
#include "platform/CookieStore.h"
#include "platform/Settings.h"

namespace vendrix {

std::string EncodeValue(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char byte : bytes) {
    out += '%';
    if (byte >= 0x10) out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
  return out;
}

std::string FormatTimestamp(const std::tm& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.tm_year + 1900,
                time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

std::tm BeijingNow() {
  // Beijing keeps no summer time: its calendar is UTC's, eight hours on.
  std::time_t beijing = std::time(nullptr) + api_defaults::kPlatformUtcOffset;
  std::tm time{};
  gmtime_r(&beijing, &time);
  return time;
}

int64_t BeijingSeconds(const std::tm& beijing) {
  using namespace std::chrono;
  const sys_days date = year_month_day{year(beijing.tm_year + 1900),
                                       month(static_cast<unsigned>(beijing.tm_mon + 1)),
                                       day(static_cast<unsigned>(beijing.tm_mday))};
  return int64_t{date.time_since_epoch().count()} * 86400 + beijing.tm_hour * 3600 +
         beijing.tm_min * 60 + beijing.tm_sec - api_defaults::kPlatformUtcOffset;
}

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = text.find('<', pos);
    size_t close = open == std::string_view::npos ? open : text.find('>', open);
    if (close == std::string_view::npos) break;  // nothing left that closes a tag
    out.append(text, pos, open - pos);
    pos = close + 1;
  }
  out.append(text, pos);
  return out;
}

SignedRequest::SignedRequest(const std::string& app_sec, const std::string& app_key_name,
                             const std::string& app_key)
    : secret_(app_sec) {
  signing_ = app_sec;
  Add(app_key_name, app_key);
}

void SignedRequest::Add(const std::string& name, const std::string& value, ValueForm form) {
  std::string utf8 = form == ValueForm::kUtf8Encoded ? GbkToUtf8(value) : std::string();
  const std::string& signed_value = form == ValueForm::kUtf8Encoded ? utf8 : value;
  signing_ += name;
  signing_ += signed_value;
  query_ += name;
  query_ += '=';
  query_ += form == ValueForm::kPlain ? signed_value : EncodeValue(signed_value);
  query_ += '&';
}

void SignedRequest::AddIfSet(const std::string& name, const std::string& value, ValueForm form) {
  if (!value.empty()) Add(name, value, form);
}

std::string SignedRequest::Address(const std::string& http, const std::string& sign_name) const {
  return http + "?" + query_ + sign_name + "=" + MD5(SigningString());
}

namespace {

// Why a reply without the call's presence element failed: the platform's error reply, or a
// reply of some other shape.
CallFailure ReplyWithout(XmlNode root, const std::string& presence) {
  if (root.Name() != "error_response") {
    return {CallFailure::kNoResult, 0, "the reply has no " + presence + " element"};
  }
  auto text = [&root](const char* name) {
    XmlNode child = root.FindChild(name);
    return child.IsNull() ? std::string() : child.Text();
  };
  CallFailure failure{CallFailure::kPlatform, 0, text("msg"), text("sub_code"), text("sub_msg")};
  std::string code = text("code");
  if (!code.empty() && code.size() < 9 &&
      code.find_first_not_of("0123456789") == std::string::npos) {
    failure.code = std::stoi(code);
  }
  return failure;
}

}  // namespace

std::string DescribeFailure(const CallFailure& failure) {
  switch (failure.kind) {
    case CallFailure::kNone:
      return "no failure";
    case CallFailure::kNotSent:
      return "not sent: " + failure.message;
    case CallFailure::kPlatform: {
      std::string text = "platform error " + std::to_string(failure.code);
      if (!failure.message.empty()) text += ": " + failure.message;
      if (!failure.sub_msg.empty() && failure.sub_msg != failure.message) {
        text += " (" + failure.sub_msg + ")";
      } else if (!failure.sub_code.empty()) {
        text += " (" + failure.sub_code + ")";
      }
      return text;
    }
    case CallFailure::kNoResult:
      return "the platform returned nothing (" + failure.message + ")";
    case CallFailure::kTransport:
    case CallFailure::kHttpStatus:
    case CallFailure::kReply:
      break;
  }
  return failure.message;
}

TApiComponent::TApiComponent(bool own_http, int read_timeout)
    : gateway_(Settings::Current().Gateway) {
  if (own_http) {
    http_ = std::make_unique<TIdHTTP>();
    http_->SetReadTimeout(read_timeout);
    http_->SetTransferTimeout(api_defaults::kTransferTimeout);
  }
}

TApiComponent::~TApiComponent() = default;

TIdHTTP& TApiComponent::Http() { return http_ ? *http_ : document_.Http(); }

std::string TApiComponent::Fetch(const std::string& address) { return Http().Get(address); }

void TApiComponent::LoadReply(const std::string& address) {
  document_.LoadFromText(Fetch(address));
}

bool TApiComponent::RunRequest() {
  // The one place where a component's failures end: network, HTTP status, XML, a walk that
  // meets an element holding more than text. None of them reaches the caller; what it was
  // stays in failure_ for the user.
  failure_ = {};
  try {
    rows_written_ = 0;
    document_.Clear();
    LoadReply(BuildUrl());
    XmlNode root = document_.Root();
    if (!root.FindChild(PresenceName()).IsNull()) {
      ParseResponse();
      return true;
    }
    failure_ = ReplyWithout(root, PresenceName());
  } catch (const EIdHTTPProtocolException& e) {
    failure_ = {CallFailure::kHttpStatus, e.ErrorCode(), e.what()};
  } catch (const EIdException& e) {
    failure_ = {CallFailure::kTransport, 0, e.what()};
  } catch (const std::exception& e) {
    failure_ = {CallFailure::kReply, 0, e.what()};
  } catch (...) {
    failure_ = {CallFailure::kReply, 0, "unknown failure"};
  }
  // A reply was read (an error status, the platform's refusal, a reply without what the call
  // needs): its Date tells how far our clock is from the server's, which is what a refused
  // timestamp needs the user to know.
  int64_t server_time = 0;
  if (failure_.kind != CallFailure::kTransport &&
      ParseCookieDate(Http().ResponseDate(), server_time)) {
    failure_.clock_offset = BeijingSeconds(clock_()) - server_time;
  }
  return false;
}

std::string ReadText(const XmlNode& parent, const std::string& name) {
  return Utf8ToGbk(parent.Child(name).Text());
}

}  // namespace vendrix
