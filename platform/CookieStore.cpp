#include "platform/CookieStore.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <iterator>

namespace vendrix {
namespace {

// A hostile server must not make the store grow without bound.
constexpr size_t kMaxCookies = 100;
constexpr size_t kMaxCookieBytes = 4096;
constexpr int64_t kMaxAgeCap = 400LL * 24 * 3600;  // the longest life a Max-Age may give

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool DomainMatches(const std::string& host, const std::string& domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.ends_with(domain) &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(std::string_view request, std::string_view cookie) {
  if (!request.starts_with(cookie)) return false;
  return request.size() == cookie.size() || cookie.ends_with('/') ||
         request[cookie.size()] == '/';
}

// The directory of the request path, the default path of a cookie without a Path attribute.
std::string DefaultPath(std::string_view path) {
  size_t slash = path.rfind('/');
  if (path.empty() || path.front() != '/' || slash == 0 || slash == std::string_view::npos) {
    return "/";
  }
  return std::string(path.substr(0, slash));
}

// Seconds since 1970 of `when`, exact to the second; the clock's own range is far smaller
// than a cookie's (year 9999 does not fit its nanoseconds).
int64_t Seconds(CookieStore::Clock::time_point when) {
  return std::chrono::floor<std::chrono::seconds>(when).time_since_epoch().count();
}

// `base` + `delta` seconds, held inside the range of int64_t.
int64_t AddSeconds(int64_t base, int64_t delta) {
  int64_t sum = 0;
  if (!__builtin_add_overflow(base, delta, &sum)) return sum;
  return delta > 0 ? INT64_MAX : INT64_MIN;
}

// A delimiter between the fields of a cookie date (RFC 6265, section 5.1.1).
bool IsDateDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

// The number that `text` starts with, when it has `min` to `max` digits, else -1; `used`
// receives how many characters it took.
int LeadingNumber(std::string_view text, size_t min, size_t max, size_t* used = nullptr) {
  size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  if (n < min || n > max) return -1;
  int value = 0;
  for (size_t i = 0; i < n; ++i) value = value * 10 + (text[i] - '0');
  if (used != nullptr) *used = n;
  return value;
}

// "23:59:59" at the start of `token`, each field one or two digits.
bool ReadTime(std::string_view token, int& hour, int& minute, int& second) {
  int fields[3];
  for (int i = 0; i < 3; ++i) {
    size_t used = 0;
    fields[i] = LeadingNumber(token, 1, 2, &used);
    if (fields[i] < 0) return false;
    token.remove_prefix(used);
    if (i < 2) {
      if (!token.starts_with(':')) return false;
      token.remove_prefix(1);
    }
  }
  hour = fields[0];
  minute = fields[1];
  second = fields[2];
  return true;
}

// A month's number (1-12) from the first three letters of `token`, 0 when none.
int MonthOf(std::string_view token) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                  "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  std::string prefix = Lower(token.substr(0, 3));
  for (size_t i = 0; i < std::size(kMonths); ++i) {
    if (prefix == kMonths[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace

bool ParseCookieDate(std::string_view text, int64_t& out) {
  int hour = -1, minute = -1, second = -1, day = -1, month = 0, year = -1;
  size_t pos = 0;
  for (;;) {
    while (pos < text.size() && IsDateDelimiter(static_cast<unsigned char>(text[pos]))) ++pos;
    size_t end = pos;
    while (end < text.size() && !IsDateDelimiter(static_cast<unsigned char>(text[end]))) ++end;
    if (end == pos) break;
    const std::string_view token = text.substr(pos, end - pos);
    pos = end;

    // Each token fills the first field still missing whose shape it has.
    if (hour < 0 && ReadTime(token, hour, minute, second)) continue;
    if (day < 0 && (day = LeadingNumber(token, 1, 2)) >= 0) continue;
    if (month == 0 && (month = MonthOf(token)) != 0) continue;
    if (year < 0) year = LeadingNumber(token, 2, 4);
  }
  if (hour < 0 || day < 0 || month == 0 || year < 0) return false;
  if (year >= 70 && year <= 99) year += 1900;
  if (year <= 69) year += 2000;
  if (day < 1 || year < 1601 || hour > 23 || minute > 59 || second > 59) return false;
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok()) return false;  // 31 Apr, 29 Feb outside a leap year
  const int64_t days = std::chrono::sys_days(date).time_since_epoch().count();
  out = days * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

namespace {

// A Max-Age value: digits, with a "-" before them for a cookie to remove. Overflowing values
// are held at the largest or smallest number.
bool ParseMaxAge(std::string_view text, int64_t& out) {
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  int64_t value = 0;
  for (char c : text) {
    if (__builtin_mul_overflow(value, 10, &value) ||
        __builtin_add_overflow(value, c - '0', &value)) {
      value = INT64_MAX;
      break;
    }
  }
  out = negative ? -value : value;
  return true;
}

// 192.168.0.1 or an IPv6 address: no name, so no parent domain either.
bool IsNumericHost(std::string_view host) {
  return host.find(':') != std::string_view::npos ||
         host.find_first_not_of("0123456789.") == std::string_view::npos;
}

// "com.cn", "co.uk": a second-level name under which anybody registers, with no one owner.
// Without a list of every registry this covers the common ones.
bool IsRegistry(std::string_view domain) {
  size_t dot = domain.find('.');
  if (dot == std::string_view::npos || domain.find('.', dot + 1) != std::string_view::npos) {
    return false;
  }
  std::string_view second = domain.substr(0, dot);
  for (std::string_view registry : {"com", "net", "org", "gov", "edu", "ac", "co", "or", "ne"}) {
    if (second == registry) return true;
  }
  return false;
}

// Bytes that must never travel in a Cookie header: a server's stray CR would end the line.
bool HasControlBytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

}  // namespace

void CookieStore::Store(std::string_view host, std::string_view path, std::string_view header,
                        Clock::time_point now) {
  if (header.size() > kMaxCookieBytes) return;
  std::string_view rest = header;
  size_t semicolon = rest.find(';');
  std::string_view pair = Trim(rest.substr(0, semicolon));
  size_t equals = pair.find('=');
  if (equals == std::string_view::npos || equals == 0) return;

  Cookie cookie;
  cookie.name = std::string(Trim(pair.substr(0, equals)));
  cookie.value = std::string(Trim(pair.substr(equals + 1)));
  if (HasControlBytes(cookie.name) || HasControlBytes(cookie.value)) return;
  const int64_t now_s = Seconds(now);
  const std::string request_host = Lower(host);
  cookie.domain = request_host;
  cookie.path = DefaultPath(path);
  bool remove = false;
  bool max_age_seen = false;

  while (semicolon != std::string_view::npos) {
    rest.remove_prefix(semicolon + 1);
    semicolon = rest.find(';');
    std::string_view attribute = Trim(rest.substr(0, semicolon));
    size_t eq = attribute.find('=');
    std::string key = Lower(Trim(attribute.substr(0, eq)));
    std::string_view value = eq == std::string_view::npos ? "" : Trim(attribute.substr(eq + 1));
    if (key == "domain" && !value.empty()) {
      std::string domain = Lower(value.front() == '.' ? value.substr(1) : value);
      // Every Domain is checked against the host that sent it, never against the one an
      // earlier Domain of the same header set; the last one stands.
      if (domain != request_host) {
        // A server may only set cookies for a parent of its own name, never for a whole
        // top-level domain ("net", or "net." written fully qualified), nor for a registry
        // under one ("com.cn", "co.uk"), nor for a part of a numeric address.
        if (!DomainMatches(request_host, domain)) return;
        std::string_view labels = domain;
        while (labels.ends_with('.')) labels.remove_suffix(1);
        if (labels.find('.') == std::string_view::npos || IsNumericHost(request_host) ||
            IsRegistry(labels)) {
          return;
        }
      }
      cookie.domain = domain;
      cookie.host_only = false;
    } else if (key == "path" && !value.empty() && value.front() == '/' && !HasControlBytes(value)) {
      cookie.path = std::string(value);
    } else if (key == "max-age") {
      int64_t seconds = 0;
      if (!ParseMaxAge(value, seconds)) continue;
      // Max-Age wins over Expires, whichever comes first.
      cookie.persistent = true;
      max_age_seen = true;
      remove = seconds <= 0;
      cookie.expires = AddSeconds(now_s, std::min<int64_t>(seconds, kMaxAgeCap));
    } else if (key == "expires" && !max_age_seen) {
      int64_t when = 0;
      if (!ParseCookieDate(value, when)) continue;
      cookie.persistent = true;
      cookie.expires = when;
      remove = when <= now_s;
    }
  }
  if (cookie.persistent) remove = remove || cookie.expires <= now_s;

  auto same = [&](const Cookie& c) {
    return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
  };
  std::erase_if(cookies_, same);
  std::erase_if(cookies_, [&](const Cookie& c) { return c.persistent && c.expires <= now_s; });
  if (remove || cookies_.size() >= kMaxCookies) return;
  cookies_.push_back(std::move(cookie));
}

std::string CookieStore::HeaderFor(std::string_view host, std::string_view path,
                                   Clock::time_point now) const {
  std::string lower = Lower(host);
  const int64_t now_s = Seconds(now);
  std::string out;
  for (const Cookie& c : cookies_) {
    if (c.persistent && c.expires <= now_s) continue;
    bool host_ok = c.host_only ? lower == c.domain : DomainMatches(lower, c.domain);
    if (!host_ok || !PathMatches(path, c.path)) continue;
    if (!out.empty()) out += "; ";
    out += c.name;
    out += '=';
    out += c.value;
  }
  return out;
}

}  // namespace vendrix
