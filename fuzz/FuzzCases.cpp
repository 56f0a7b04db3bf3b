#include "fuzz/FuzzCases.h"

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/TaobaoCats.h"
#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaoUsers.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeItem.h"
#include "api/TaobaokeShop.h"
#include "app/ShopPage.h"
#include "config/XMLData.h"
#include "platform/CookieStore.h"
#include "platform/IdHTTP.h"

namespace vendrix::fuzz {
namespace {

void Check(bool property) {
  if (!property) std::abort();
}

// The input cut at its NUL bytes: at least one piece.
std::vector<std::string> Split(std::string_view input) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    pieces.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

// The input cut at its NUL bytes, cycled as often as `count` asks.
std::vector<std::string> Pieces(std::string_view input, size_t count) {
  std::vector<std::string> pieces = Split(input);
  std::vector<std::string> out;
  for (size_t i = 0; i < count; ++i) out.push_back(pieces[i % pieces.size()]);
  return out;
}

template <typename Record>
void FillFields(Record& record, const std::vector<std::string>& values, size_t& next) {
  for (const auto& field : Record::kFields) record.*field.member = values[next++ % values.size()];
}

// A component whose reply is the fuzz input instead of anything fetched.
template <typename Component>
class Replayed : public Component {
 public:
  explicit Replayed(std::string_view reply) : reply_(reply) {}

 protected:
  void LoadReply(const std::string&) override { this->Document().LoadFromText(reply_); }

 private:
  std::string reply_;
};

// Runs `Component` over the reply with the given conditions and default names.
template <typename Component, typename Result>
void Walk(std::string_view reply, typename Component::ConditionsType cond) {
  cond.app_key = "key";
  cond.app_sec = "secret";
  Replayed<Component> component(reply);
  Result result{};
  component.Execute(cond, {}, {}, {}, result);
  component.Execute(cond, {}, {}, {}, result);  // a second walk over the same component
}

// A component whose copies of the records are set directly, to build its address.
template <typename Component>
class Addressed : public Component {
 public:
  std::string Build(std::string_view input) {
    std::vector<std::string> values = Pieces(input, 64);
    size_t next = 0;
    for (const auto& field : Component::kConditionFields) {
      this->cond_.*field.member = values[next++ % values.size()];
    }
    this->name_.http = "http://gw.test/router/rest";
    this->name_.sign = "sign";
    this->ApplyDefaults();
    this->SetClock([] { return std::tm{}; });
    return this->BuildUrl();
  }
};

template <typename Component>
void CheckAddress(std::string_view input) {
  Addressed<Component> component;
  std::string address = component.Build(input);
  Check(address.starts_with("http://gw.test/router/rest?"));
  size_t sign = address.rfind("&sign=");
  Check(sign != std::string::npos && address.size() - sign == 6 + 32);
  Check(address.find_first_not_of("0123456789ABCDEF", sign + 6) == std::string::npos);
}

// Runs one of TXMLData's Read operations on fresh records.
template <typename Conditions, typename Info, typename Name, typename Xml>
void ReadInto(TXMLData& data, void (TXMLData::*read)(Conditions&, Info&, Name&, Xml&)) {
  Conditions cond;
  Info back;
  Name name;
  Xml xml;
  (data.*read)(cond, back, name, xml);
}

// A socket pair whose far end has sent `reply` and then closed for writing; first is the
// client's end.
bool ServedPair(std::string_view reply, int ends[2]) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  int size = 1 << 20;
  ::setsockopt(ends[0], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  for (size_t sent = 0; sent < reply.size();) {
    ssize_t n = ::send(ends[1], reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ::shutdown(ends[1], SHUT_WR);  // the reply ends where it does
  return true;
}

// Everything the client wrote to the far end `fd`, without waiting for more.
std::string Drain(int fd) {
  std::string out;
  char block[4096];
  for (;;) {
    ssize_t n = ::recv(fd, block, sizeof block, MSG_DONTWAIT);
    if (n <= 0) return out;
    out.append(block, static_cast<size_t>(n));
  }
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < word.size() && lower(text[i + k]) == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

bool SafeInHeader(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// A request the client sent: one block of CR LF lines, the Cookie line (when there is one)
// last and whole.
void CheckRequest(std::string_view request) {
  if (request.empty()) return;  // the Get refused the address before sending anything
  Check(request.ends_with("\r\n\r\n"));
  request.remove_suffix(4);
  size_t lines = 0;
  std::string_view last;
  for (size_t start = 0;;) {
    size_t end = request.find("\r\n", start);
    std::string_view line = request.substr(start, end - start);
    Check(SafeInHeader(line));  // no CR or LF inside a line either
    last = line;
    ++lines;
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
  Check(lines == 5 || (lines == 6 && last.starts_with("Cookie: ")));
}

// A host whose labels are letters, digits and "-", at least two of them, not all digits: the
// names a single-label Domain would reach beyond the request host's own parent.
bool IsPlainName(std::string_view host) {
  if (host.ends_with('.')) host.remove_suffix(1);
  if (host.empty() || host.find('.') == std::string_view::npos) return false;
  bool letter = false;
  char before = '.';
  for (char c : host) {
    bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '.' && before == '.') return false;
    if (c != '.' && c != '-' && !alnum) return false;
    letter = letter || (alnum && !(c >= '0' && c <= '9')) || c == '-';
    before = c;
  }
  return before != '.' && letter;
}

}  // namespace

void HttpReply(std::string_view input) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
  int size = 1 << 20;
  ::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  for (size_t sent = 0; sent < input.size();) {
    ssize_t n = ::send(ends[1], input.data() + sent, input.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ::shutdown(ends[1], SHUT_WR);  // the reply ends where the input does
  TIdHTTP http;
  http.SetReadTimeout(100);
  http.AdoptConnection(UniqueFd(ends[0]), "127.0.0.1", 9);
  for (int call = 0; call < 2; ++call) {  // the second finds the connection as the first left it
    try {
      std::string body = http.Get("http://127.0.0.1:9/router/rest?a=1");
      Check(body.size() <= http_defaults::kMaxBodyBytes);
    } catch (const EIdException&) {
    }
  }
  ::close(ends[1]);
}

void ApiWalks(std::string_view input) {
  Walk<TTaobaoCats, const ATaobaoCatsInfo*>(input, {});
  Walk<TTaobaoUsers, const ATaobaoUsersInfo*>(input, {.nicks = "a,b,"});
  Walk<TTaobaoShop, const TaobaoShopInfo*>(input, {.nick = "seller"});
  Walk<TTaobaokeShop, const ATaobaokeShopInfo*>(input, {.nick = "aff", .sids = "1"});
  Walk<TTaobaoSearch, PTaobaoSearchInfo>(input, {.nicks = "seller"});
  Walk<TTaobaokeItem, const ATaobaokeItemInfo*>(input, {.cid = "16", .nick = "aff"});
  Walk<TTaobaokeConvert, const ATaobaokeConvertInfo*>(input, {.iids = "1", .nick = "aff"});
}

void ConfigReads(std::string_view input) {
  TXMLData data;
  try {
    data.Document().LoadFromText(input);
  } catch (const EXmlError&) {
  }
  std::string nick;
  data.ReadNick(nick);
  ReadInto(data, &TXMLData::ReadTaobaokeItem);
  ReadInto(data, &TXMLData::ReadTaobaoUsers);
  ReadInto(data, &TXMLData::ReadTaobaoShop);
  ReadInto(data, &TXMLData::ReadTaobaokeShop);
  ReadInto(data, &TXMLData::ReadTaobaokeConvert);
  ReadInto(data, &TXMLData::ReadTaobaoCats);
  ReadInto(data, &TXMLData::ReadTaobaoSearch);
}

void StripTagsCase(std::string_view input) {
  std::string out = StripTags(input);
  Check(out.size() <= input.size());
  // Whatever is left holds no "<" with a ">" after it.
  size_t open = out.find('<');
  Check(open == std::string::npos || out.find('>', open) == std::string::npos);
}

void BuildUrls(std::string_view input) {
  CheckAddress<TTaobaoCats>(input);
  CheckAddress<TTaobaoUsers>(input);
  CheckAddress<TTaobaoShop>(input);
  CheckAddress<TTaobaokeShop>(input);
  CheckAddress<TTaobaoSearch>(input);
  CheckAddress<TTaobaokeItem>(input);
  CheckAddress<TTaobaokeConvert>(input);
}

void ShopPage(std::string_view input) {
  std::vector<std::string> values = Pieces(input, 6 + 15 * 70);
  size_t next = 0;
  Info row;
  for (std::string* field : {&row.sid, &row.nick, &row.location, &row.title,
                             &row.credit_pic_url, &row.logo_url}) {
    *field = values[next++];
  }
  auto items = std::make_shared<std::vector<TaobaoSearchInfo>>(70);
  for (TaobaoSearchInfo& item : *items) FillFields(item, values, next);
  row.items = items;
  std::string page = BuildShopPage(row, "http://vendor/");
  // Every value went in escaped: the markup is the templates' alone.
  Check(page.find("<script") == std::string::npos);
  Check(page.find("<SCRIPT") == std::string::npos);
  Check(page.starts_with(PageStyle()) && page.ends_with(PageEnd()));
}

void Cookies(std::string_view input) {
  std::vector<std::string> pieces = Split(input);
  const std::string host = pieces[0];
  const std::string path = pieces.size() > 1 ? pieces[1] : "/";
  // Each further piece is a header line when a ":" comes before any "=" or ";" ("Set-Cookie2:
  // a=1", "X-Other: 1"), else the value of a Set-Cookie line. The store gets the value.
  std::vector<std::string> lines;
  std::vector<std::string> values;
  for (size_t i = 2; i < pieces.size(); ++i) {
    const std::string& piece = pieces[i];
    size_t colon = piece.find(':');
    if (colon != std::string::npos && colon < piece.find_first_of("=;")) {
      lines.push_back(piece);
      size_t value = piece.find_first_not_of(" \t", colon + 1);
      values.push_back(value == std::string::npos ? "" : piece.substr(value));
    } else {
      lines.push_back("Set-Cookie: " + piece);
      values.push_back(piece);
    }
  }

  // The store on its own, at two moments far apart (2026, and 2^32 s after 1970), asked for
  // the host, look-alikes of it, its parent and a child, on several paths and later on.
  using namespace std::chrono;
  const size_t dot = host.find('.');
  const std::string parent = host.substr(dot == std::string::npos ? 0 : dot + 1);
  // "vendrix-sibling.net" for "gw.vendrix.net", "vendrix-sibling.net." for "gw.vendrix.net.".
  const size_t top = host.rfind('.', host.size() - (host.ends_with('.') ? 2 : 1));
  const std::string sibling =
      "vendrix-sibling" + (top == std::string::npos ? std::string() : host.substr(top));
  const bool plain = IsPlainName(host) && !ContainsNoCase(host, "vendrix-sibling");
  const std::string asked_hosts[] = {host, "a" + host, host + ".evil", parent, "www." + host};
  const std::string paths[] = {"/", path, path + "/sub", "/other/x"};
  for (int64_t start : {int64_t{1767225600}, int64_t{4294967296}}) {
    const CookieStore::Clock::time_point now{seconds(start)};
    CookieStore store;
    CookieStore host_only;  // only the cookies set without a Domain attribute
    for (const std::string& value : values) {
      store.Store(host, path, value, now);
      if (!ContainsNoCase(value, "domain")) host_only.Store(host, path, value, now);
      Check(store.Size() <= 100 && host_only.Size() <= 100);
    }
    for (seconds later : {seconds(0), seconds(61), seconds(hours(24 * 401)),
                           seconds(hours(24 * 365 * 100))}) {
      for (const std::string& asked : asked_hosts) {
        for (const std::string& p : paths) {
          std::string header = store.HeaderFor(asked, p, now + later);
          Check(SafeInHeader(header));
        }
      }
      for (const std::string& p : paths) {
        // A host that only looks like the request host never gets its host-only cookies.
        Check(host_only.HeaderFor("a" + host, p, now + later).empty());
        Check(host_only.HeaderFor(host + ".evil", p, now + later).empty());
        // No cookie is set for a whole top-level domain: a sibling under it gets nothing.
        if (plain) Check(store.HeaderFor(sibling, p, now + later).empty());
      }
    }
  }

  // The same values as a reply's header lines, read by the client; the second request
  // carries the cookies the first reply set.
  std::string reply = "HTTP/1.1 200 OK\r\n";
  for (const std::string& line : lines) reply.append(line).append("\r\n");
  reply.append("Content-Length: 0\r\n\r\n");
  // The address keeps what of the host and path can stand in one.
  std::string request_host;
  for (char c : host) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
        c == '-') {
      request_host += c;
    }
  }
  if (request_host.empty()) request_host = "vendrix.test";
  std::string request_path = "/";
  for (char c : path) {
    bool doubled_slash = c == '/' && request_path.ends_with('/');
    if (c > ' ' && c < 0x7F && c != '#' && c != '?' && !doubled_slash) request_path += c;
  }
  const std::string address = "http://" + request_host + request_path;
  TIdHTTP http;
  http.SetReadTimeout(100);
  for (int call = 0; call < 2; ++call) {
    int ends[2];
    if (!ServedPair(reply, ends)) return;
    http.AdoptConnection(UniqueFd(ends[0]), request_host, 80);
    // Every failure of a Get is an EIdException; any other escapes and ends the run as a crash.
    try {
      http.Get(address);
    } catch (const EIdException&) {
    }
    CheckRequest(Drain(ends[1]));
    ::close(ends[1]);
  }
}

}  // namespace vendrix::fuzz
