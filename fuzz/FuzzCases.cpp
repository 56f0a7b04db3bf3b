#include "fuzz/FuzzCases.h"

#include <sys/socket.h>
#include <unistd.h>

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
#include "platform/IdHTTP.h"

namespace vendrix::fuzz {
namespace {

void Check(bool property) {
  if (!property) std::abort();
}

// The input cut at its NUL bytes, cycled as often as `count` asks.
std::vector<std::string> Pieces(std::string_view input, size_t count) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\0', start);
    if (end == std::string_view::npos) end = input.size();
    pieces.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
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

}  // namespace vendrix::fuzz
