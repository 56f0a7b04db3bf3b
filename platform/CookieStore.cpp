#include "platform/CookieStore.h"

#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace vendrix {
namespace {

// A hostile server must not make the store grow without bound.
constexpr size_t kMaxCookies = 100;
constexpr size_t kMaxCookieBytes = 4096;

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

bool ParseHttpDate(std::string_view text, CookieStore::Clock::time_point& out) {
  std::string copy(text);
  struct tm tm {};
  const char* end = strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S", &tm);
  if (end == nullptr) end = strptime(copy.c_str(), "%a, %d-%b-%Y %H:%M:%S", &tm);
  if (end == nullptr) return false;
  out = CookieStore::Clock::from_time_t(timegm(&tm));
  return true;
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
  cookie.domain = Lower(host);
  cookie.path = DefaultPath(path);
  bool remove = false;

  while (semicolon != std::string_view::npos) {
    rest.remove_prefix(semicolon + 1);
    semicolon = rest.find(';');
    std::string_view attribute = Trim(rest.substr(0, semicolon));
    size_t eq = attribute.find('=');
    std::string key = Lower(Trim(attribute.substr(0, eq)));
    std::string_view value = eq == std::string_view::npos ? "" : Trim(attribute.substr(eq + 1));
    if (key == "domain" && !value.empty()) {
      std::string domain = Lower(value.front() == '.' ? value.substr(1) : value);
      // A server may only set cookies for its own domain or a parent of it.
      if (!DomainMatches(cookie.domain, domain)) return;
      cookie.domain = domain;
      cookie.host_only = false;
    } else if (key == "path" && !value.empty() && value.front() == '/') {
      cookie.path = std::string(value);
    } else if (key == "max-age") {
      char* end = nullptr;
      std::string digits(value);
      long long seconds = std::strtoll(digits.c_str(), &end, 10);
      if (digits.empty() || *end != '\0') continue;
      cookie.persistent = true;
      remove = seconds <= 0;
      cookie.expires = now + std::chrono::seconds(std::min(seconds, 400LL * 24 * 3600));
    } else if (key == "expires" && !cookie.persistent) {
      Clock::time_point when;
      if (!ParseHttpDate(value, when)) continue;
      cookie.expires = when;
      remove = when <= now;
    }
  }
  if (cookie.persistent) remove = remove || cookie.expires <= now;

  auto same = [&](const Cookie& c) {
    return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
  };
  std::erase_if(cookies_, same);
  std::erase_if(cookies_, [&](const Cookie& c) { return c.persistent && c.expires <= now; });
  if (remove || cookies_.size() >= kMaxCookies) return;
  cookies_.push_back(std::move(cookie));
}

std::string CookieStore::HeaderFor(std::string_view host, std::string_view path,
                                   Clock::time_point now) const {
  std::string lower = Lower(host);
  std::string out;
  for (const Cookie& c : cookies_) {
    if (c.persistent && c.expires <= now) continue;
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
