// The cookie store of one HTTP client: cookies set by servers, kept for the client's life and
// sent back to the hosts they belong to. Used by the thread that owns the client.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

// A date as RFC 6265 (section 5.1.1) reads one, which takes the three forms of an HTTP date
// too, in seconds since 1970 (UTC); false when `text` holds no such date. Each field is known
// by its shape, not its place, so "Fri, 31 Dec 9999 23:59:59 GMT", "Friday, 31-Dec-99 23:59:59
// GMT" and "Thu Jan  1 00:00:00 1970" all parse, and the weekday, however spelled, plays no
// part. A two-digit year of 70-99 is 19xx, of 00-69 20xx. A field missing or out of range, or
// a day that does not exist in its month, makes it false.
bool ParseCookieDate(std::string_view text, int64_t& seconds);

class CookieStore {
 public:
  using Clock = std::chrono::system_clock;

  // Stores the cookie of one Set-Cookie or Set-Cookie2 header received from `host` for a
  // request of `path`. A cookie that has expired (Max-Age 0 or below, Expires in the past)
  // removes the stored one of the same name; a future Expires keeps it until then, whatever
  // the year. Malformed headers, and names or values holding control bytes, are ignored.
  void Store(std::string_view host, std::string_view path, std::string_view header,
             Clock::time_point now = Clock::now());

  // The Cookie header value for a request of `path` on `host` ("a=1; b=2"), or empty.
  std::string HeaderFor(std::string_view host, std::string_view path,
                        Clock::time_point now = Clock::now()) const;

  size_t Size() const { return cookies_.size(); }

 private:
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;  // lower case
    bool host_only = true;
    std::string path;
    bool persistent = false;
    int64_t expires = 0;  // seconds since 1970; far dates stay far, none overflows
  };
  std::vector<Cookie> cookies_;
};

}  // namespace vendrix
