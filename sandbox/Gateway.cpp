#include "sandbox/Gateway.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include "api/ApiFrame.h"
#include "api/MD5.h"
#include "platform/CodePage.h"
#include "platform/Markup.h"
#include "sandbox/ConfigDocument.h"

namespace vendrix::sandbox {
namespace {

// Limits the platform enforces on list parameters and pages.
constexpr int kItemsPageDefault = 40;
constexpr int kItemsPageMax = 400;
constexpr int kSearchPageDefault = 40;
constexpr int kSearchPageMax = 200;
constexpr size_t kMaxNicks = 40;
constexpr size_t kMaxSids = 10;
constexpr size_t kMaxIids = 50;
constexpr const char* kHostComment = "<!--top010025222001.cm3.sandbox-->";

const std::set<std::string> kMethods = {
    "taobao.itemcats.get",           "taobao.users.get",
    "taobao.shop.get",               "taobao.taobaoke.shops.convert",
    "taobao.items.search",           "taobao.taobaoke.items.get",
    "taobao.taobaoke.items.convert"};

// A request the platform refuses: the error code and what the message names.
struct Refusal {
  int code;
  std::string detail;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    // One or two hex digits: the client writes bytes below 0x10 with one.
    int value = 0;
    int digits = 0;
    while (digits < 2 && i + 1 < text.size() && HexDigit(text[i + 1]) >= 0) {
      value = value * 16 + HexDigit(text[++i]);
      ++digits;
    }
    out += digits == 0 ? '%' : static_cast<char>(value);
  }
  return out;
}

std::string EncodeUrlValue(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma > start) parts.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return parts;
}

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

// "users_get_response" for "taobao.users.get".
std::string ResponseRoot(const std::string& method) {
  std::string root = method.starts_with("taobao.") ? method.substr(7) : method;
  std::replace(root.begin(), root.end(), '.', '_');
  return root + "_response";
}

// The platform's orders of affiliate items: field and direction.
const std::vector<std::string> kSortOrders = {
    "price_desc",           "price_asc",          "credit_desc",       "commissionRate_desc",
    "commissionRate_asc",   "commissionNum_desc", "commissionNum_asc", "commissionVolume_desc",
    "commissionVolume_asc", "delistTime_desc",    "delistTime_asc"};

bool IsSortOrder(const std::string& name) {
  return std::find(kSortOrders.begin(), kSortOrders.end(), name) != kSortOrders.end();
}

std::string Highlight(const std::string& title, const std::string& keyword) {
  if (keyword.empty()) return title;
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = title.find(keyword, pos)) != std::string::npos;
       pos = hit + keyword.size()) {
    out += title.substr(pos, hit - pos) + "<span class=H>" + keyword + "</span>";
  }
  return out + title.substr(pos);
}

}  // namespace

// Appends elements to an XML text.
class XmlText {
 public:
  XmlText& Open(const std::string& name, bool list = false) {
    text_ += "<" + name + (list ? " list=\"true\">" : ">");
    return *this;
  }
  XmlText& Close(const std::string& name) {
    text_ += "</" + name + ">";
    return *this;
  }
  XmlText& Leaf(const std::string& name, const std::string& value) {
    text_ += "<" + name + ">" + EscapeXml(value) + "</" + name + ">";
    return *this;
  }
  std::string& Text() { return text_; }

 private:
  std::string text_;
};

std::map<std::string, std::string> DecodeQuery(const std::string& query) {
  std::map<std::string, std::string> params;
  size_t start = 0;
  while (start < query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    size_t equals = query.find('=', start);
    if (equals > end) equals = end;
    if (end > start) {
      params[Unescape(query.substr(start, equals - start))] =
          equals < end ? Unescape(query.substr(equals + 1, end - equals - 1)) : "";
    }
    start = end + 1;
  }
  return params;
}

std::string PlatformSignature(const std::map<std::string, std::string>& params,
                              const std::string& secret) {
  std::string text = secret;
  for (const auto& [name, value] : params) {  // std::map orders names by their bytes
    if (name == "sign") continue;
    text += name;
    text += value;
  }
  text += secret;
  return MD5(text);
}

bool ParseTimestamp(const std::string& text, int64_t& seconds) {
  // Exactly "yyyy-mm-dd hh:mm:ss", digits where the digits go.
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
  if (text.size() != kShape.size()) return false;
  for (size_t i = 0; i < kShape.size(); ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
  }
  auto number = [&text](size_t at, size_t length) { return std::stoi(text.substr(at, length)); };
  std::tm time{};
  time.tm_year = number(0, 4) - 1900;
  time.tm_mon = number(5, 2) - 1;
  time.tm_mday = number(8, 2);
  time.tm_hour = number(11, 2);
  time.tm_min = number(14, 2);
  time.tm_sec = number(17, 2);
  const std::chrono::year_month_day date{std::chrono::year(time.tm_year + 1900),
                                         std::chrono::month(static_cast<unsigned>(time.tm_mon + 1)),
                                         std::chrono::day(static_cast<unsigned>(time.tm_mday))};
  if (!date.ok() || time.tm_hour > 23 || time.tm_min > 59 || time.tm_sec > 59) return false;
  seconds = BeijingSeconds(time);
  return true;
}

std::string EscapeXml(const std::string& text) { return EscapeMarkup(text); }

// One checked request: its method, parameters and requested fields, in the wire's names.
struct Gateway::Call {
  std::string method;
  std::map<std::string, std::string> params;
  const WireNames* names = nullptr;
  std::set<std::string> fields;

  std::string Name(const std::string& canonical) const { return names->Param(method, canonical); }
  std::string Value(const std::string& canonical) const {
    auto it = params.find(Name(canonical));
    return it == params.end() ? "" : it->second;
  }
  std::string Required(const std::string& canonical) const {
    std::string value = Value(canonical);
    if (value.empty()) throw Refusal{40, Name(canonical)};
    return value;
  }
  // A page number or size: a whole number from 1 to `max`, `fallback` when not given.
  int Count(const std::string& canonical, int fallback, int max) const {
    std::string value = Value(canonical);
    if (value.empty()) return fallback;
    if (value.size() > 6 || value.find_first_not_of("0123456789") != std::string::npos) {
      throw Refusal{41, Name(canonical)};
    }
    int number = std::stoi(value);
    if (number < 1 || number > max) throw Refusal{41, Name(canonical)};
    return number;
  }
  std::string E(const std::string& canonical) const { return names->Element(method, canonical); }
  bool Wants(const std::string& canonical) const { return fields.count(E(canonical)) > 0; }
  bool WantsIn(const std::string& group, const std::string& child) const {
    return fields.count(E(group) + "." + E(child)) > 0;
  }
  // Writes the leaf `canonical` when it was asked for.
  void Field(XmlText& xml, const std::string& canonical, const std::string& value) const {
    if (Wants(canonical)) xml.Leaf(E(canonical), value);
  }
};

Gateway::Gateway(const Marketplace& market, GatewayOptions options)
    : market_(market), options_(std::move(options)) {}

GatewayReply Gateway::Handle(const std::string& query) const {
  Call call;
  call.names = &options_.names;
  call.params = DecodeQuery(query);
  auto param = [&](const char* name) {
    auto it = call.params.find(name);
    return it == call.params.end() ? std::string() : it->second;
  };
  try {
    if (param("app_key") != options_.app_key) throw Refusal{29, ""};
    call.method = param("method");
    std::string sign = param("sign");
    if (sign.empty() || sign != PlatformSignature(call.params, options_.app_secret)) {
      throw Refusal{25, ""};
    }
    if (call.method.empty()) throw Refusal{21, ""};
    if (kMethods.count(call.method) == 0) throw Refusal{22, ""};
    for (const char* system : {"timestamp", "v", "sign_method"}) {
      if (param(system).empty()) throw Refusal{40, system};
    }
    CheckTimestamp(call.method, param("timestamp"));
    if (param("v") != "2.0" && param("v") != "1.0") throw Refusal{41, "v"};
    if (param("sign_method") != "md5") throw Refusal{41, "sign_method"};
    if (!param("format").empty() && param("format") != "xml") throw Refusal{41, "format"};
    for (const std::string& field : SplitList(call.Required("fields"))) call.fields.insert(field);
    return Finish(Result(call), call.method, 0);
  } catch (const Refusal& refusal) {
    GatewayReply reply = Error(refusal.code, refusal.detail);
    reply.method = call.method;
    return reply;
  }
}

void Gateway::CheckTimestamp(const std::string& method, const std::string& timestamp) const {
  using namespace gateway_defaults;
  if (method == kFixedTimestampMethod && timestamp == kFixedTimestamp) return;
  int64_t sent = 0;
  if (!ParseTimestamp(timestamp, sent)) throw Refusal{31, ""};
  int64_t now = static_cast<int64_t>(std::time(nullptr)) + options_.clock_offset;
  if (sent > now + kTimestampTolerance || sent < now - kTimestampTolerance) {
    throw Refusal{31, ""};
  }
}

GatewayReply Gateway::Error(int code, const std::string& detail) const {
  std::string message;
  switch (code) {
    case 21: message = "Missing Method"; break;
    case 22: message = "Invalid Method"; break;
    case 25: message = "Invalid Signature"; break;
    case 29: message = "Invalid App Key"; break;
    case 31: message = "Invalid Timestamp"; break;
    case 40: message = "Missing Required Arguments:" + detail; break;
    case 41: message = "Invalid Arguments:" + detail; break;
    default: message = "Remote service error"; break;
  }
  XmlText xml;
  xml.Open("error_response").Leaf("code", std::to_string(code)).Leaf("msg", message);
  if (code == 560) xml.Leaf("sub_msg", detail);
  xml.Close("error_response");
  return Finish(std::move(xml.Text()), "", code);
}

GatewayReply Gateway::Finish(std::string utf8_body, const std::string& method, int code) const {
  GatewayReply reply;
  reply.method = method;
  reply.error_code = code;
  std::string declaration = options_.gbk ? "<?xml version=\"1.0\" encoding=\"GBK\" ?>"
                                         : "<?xml version=\"1.0\" encoding=\"utf-8\" ?>";
  std::string document = declaration + utf8_body + kHostComment;
  reply.body = options_.gbk ? Utf8ToGbk(document) : document;
  reply.content_type = options_.gbk ? "text/xml;charset=GBK" : "text/xml;charset=UTF-8";
  return reply;
}

std::string Gateway::Result(const Call& call) const {
  XmlText xml;
  std::string root = ResponseRoot(call.method);
  std::string inner;
  if (call.method == "taobao.itemcats.get") inner = Categories(call);
  if (call.method == "taobao.users.get") inner = Users(call);
  if (call.method == "taobao.shop.get") inner = Shop(call);
  if (call.method == "taobao.taobaoke.shops.convert") inner = ShopsConvert(call);
  if (call.method == "taobao.items.search") inner = ItemsSearch(call);
  if (call.method == "taobao.taobaoke.items.get") inner = AffiliateItems(call);
  if (call.method == "taobao.taobaoke.items.convert") inner = ItemsConvert(call);
  return "<" + root + ">" + inner + "</" + root + ">";
}

std::string Gateway::Categories(const Call& call) const {
  std::string cids = call.Value("cids");
  std::string parent = call.Value("parent_cid");
  if (cids.empty() && parent.empty()) throw Refusal{40, call.Name("parent_cid")};
  std::vector<const Category*> found;
  if (!cids.empty()) {
    for (const std::string& cid : SplitList(cids)) {
      int index = market_.CategoryIndex(cid);
      if (index >= 0) found.push_back(&market_.Categories()[static_cast<size_t>(index)]);
    }
  } else if (parent == "0") {
    for (const Category& c : market_.Categories()) found.push_back(&c);
  }
  if (found.empty()) return "";  // no list at all, as the platform answers an empty result
  XmlText xml;
  xml.Open(call.E("item_cats"), true);
  for (const Category* c : found) {
    xml.Open(call.E("item_cat"));
    call.Field(xml, "cid", c->cid);
    call.Field(xml, "parent_cid", "0");
    call.Field(xml, "name", c->name);
    call.Field(xml, "is_parent", "false");
    call.Field(xml, "status", "normal");
    call.Field(xml, "sort_order", std::to_string(c->sort_order));
    xml.Close(call.E("item_cat"));
  }
  xml.Close(call.E("item_cats"));
  return xml.Text();
}

std::string Gateway::Users(const Call& call) const {
  std::vector<std::string> nicks = SplitList(call.Required("nicks"));
  if (nicks.size() > kMaxNicks) throw Refusal{41, call.Name("nicks")};
  XmlText xml;
  bool any = false;
  for (const std::string& nick : nicks) {
    const Seller* s = market_.SellerByNick(nick);
    if (s == nullptr) continue;  // unknown users are left out, not reported
    if (!any) xml.Open(call.E("users"), true);
    any = true;
    xml.Open(call.E("user"));
    call.Field(xml, "user_id", s->user_id);
    call.Field(xml, "nick", s->nick);
    call.Field(xml, "sex", s->sex);
    auto credit = [&](const char* block, int level, int score, int total, int good) {
      if (!call.Wants(block)) return;
      xml.Open(call.E(block))
          .Leaf(call.E("level"), std::to_string(level))
          .Leaf(call.E("score"), std::to_string(score))
          .Leaf(call.E("total_num"), std::to_string(total))
          .Leaf(call.E("good_num"), std::to_string(good))
          .Close(call.E(block));
    };
    credit("buyer_credit", s->buyer_level, s->buyer_level * 3, s->buyer_level * 3,
           s->buyer_level * 3);
    credit("seller_credit", s->level, s->score, s->total_num, s->good_num);
    if (call.WantsIn("location", "city") || call.WantsIn("location", "state")) {
      xml.Open(call.E("location"));
      if (call.WantsIn("location", "city")) xml.Leaf(call.E("city"), s->city);
      if (call.WantsIn("location", "state")) xml.Leaf(call.E("state"), s->state);
      xml.Close(call.E("location"));
    }
    call.Field(xml, "created", s->created);
    call.Field(xml, "last_visit", s->last_visit);
    xml.Close(call.E("user"));
  }
  if (any) xml.Close(call.E("users"));
  return xml.Text();
}

std::string Gateway::Shop(const Call& call) const {
  const Seller* s = market_.SellerByNick(call.Required("nick"));
  if (s == nullptr) throw Refusal{560, "店铺不存在"};
  XmlText xml;
  xml.Open(call.E("shop"));
  call.Field(xml, "sid", s->sid);
  call.Field(xml, "cid", market_.Categories()[s->category].cid);
  call.Field(xml, "nick", s->nick);
  call.Field(xml, "title", s->shop_title);
  call.Field(xml, "desc", s->shop_desc);
  call.Field(xml, "bulletin", s->bulletin);
  if (!s->pic_path.empty()) call.Field(xml, "pic_path", s->pic_path);
  call.Field(xml, "created", s->created);
  call.Field(xml, "modified", s->last_visit);
  xml.Close(call.E("shop"));
  return xml.Text();
}

std::string Gateway::ShopsConvert(const Call& call) const {
  std::string affiliate = call.Required("nick");
  std::vector<std::string> sids = SplitList(call.Required("sids"));
  if (sids.size() > kMaxSids) throw Refusal{41, call.Name("sids")};
  XmlText xml;
  bool any = false;
  for (const std::string& sid : sids) {
    const Seller* s = market_.SellerBySid(sid);
    if (s == nullptr || !s->affiliate) continue;
    if (!any) xml.Open(call.E("taobaoke_shops"), true);
    any = true;
    xml.Open(call.E("taobaoke_shop"));
    call.Field(xml, "user_id", s->user_id);
    call.Field(xml, "shop_title", s->shop_title);
    call.Field(xml, "click_url", options_.base + "click?kind=shop&sid=" + s->sid +
                                     "&nick=" + EncodeUrlValue(affiliate));
    call.Field(xml, "commission_rate", std::to_string(500 + (s->level * 37) % 1500));
    xml.Close(call.E("taobaoke_shop"));
  }
  if (any) xml.Close(call.E("taobaoke_shops"));
  return xml.Text();
}

std::string Gateway::ItemsSearch(const Call& call) const {
  std::string q = call.Value("q");
  std::string cid = call.Value("cid");
  std::string nicks = call.Value("nicks");
  if (q.empty() && cid.empty() && nicks.empty()) throw Refusal{40, call.Name("q")};
  int page = call.Count("page_no", 1, 10000);
  int size = call.Count("page_size", kSearchPageDefault, kSearchPageMax);

  std::vector<const Item*> matches;
  auto consider = [&](const Item& item) {
    if (!cid.empty() && cid != "0" && market_.Categories()[item.category].cid != cid) return;
    if (!q.empty() && item.title.find(q) == std::string::npos) return;
    matches.push_back(&item);
  };
  if (!nicks.empty()) {
    for (const std::string& nick : SplitList(nicks)) {
      if (const Seller* s = market_.SellerByNick(nick)) {
        for (uint32_t index : s->items) consider(market_.Items()[index]);
      }
    }
  } else {
    for (const Item& item : market_.Items()) {
      if (market_.Sellers()[item.seller].affiliate) consider(item);
    }
  }

  XmlText xml;
  size_t first = static_cast<size_t>(page - 1) * static_cast<size_t>(size);
  if (!matches.empty()) {
    xml.Open(call.E("item_search"));
    if (first < matches.size()) {
      xml.Open(call.E("items"), true);
      for (size_t i = first; i < matches.size() && i < first + static_cast<size_t>(size); ++i) {
        const Item& item = *matches[i];
        const Seller& s = market_.Sellers()[item.seller];
        xml.Open(call.E("item"));
        call.Field(xml, "iid", item.iid);
        call.Field(xml, "title", Highlight(item.title, q));
        call.Field(xml, "nick", s.nick);
        call.Field(xml, "pic_url", options_.base + item.pic.substr(1));
        call.Field(xml, "price", item.price);
        call.Field(xml, "type", item.type);
        call.Field(xml, "score", item.score);
        call.Field(xml, "volume", item.volume);
        call.Field(xml, "delist_time", item.delist_time);
        call.Field(xml, "post_fee", item.post_fee);
        if (call.WantsIn("location", "city") || call.WantsIn("location", "state")) {
          xml.Open(call.E("location"));
          if (call.WantsIn("location", "city")) xml.Leaf(call.E("city"), s.city);
          if (call.WantsIn("location", "state")) xml.Leaf(call.E("state"), s.state);
          xml.Close(call.E("location"));
        }
        xml.Close(call.E("item"));
      }
      xml.Close(call.E("items"));
    }
    std::map<uint32_t, int> per_category;
    for (const Item* item : matches) ++per_category[item->category];
    xml.Open(call.E("item_categories"), true);
    for (const auto& [category, count] : per_category) {
      xml.Open(call.E("item_category"))
          .Leaf(call.E("category_id"), market_.Categories()[category].cid)
          .Leaf(call.E("count"), std::to_string(count))
          .Close(call.E("item_category"));
    }
    xml.Close(call.E("item_categories"));
    xml.Close(call.E("item_search"));
  }
  xml.Leaf(call.E("total_results"), std::to_string(matches.size()));
  return xml.Text();
}

std::string Gateway::AffiliateItems(const Call& call) const {
  std::string affiliate = call.Required("nick");
  std::string cid = call.Value("cid");
  std::string keyword = call.Value("keyword");
  if (cid.empty() && keyword.empty()) throw Refusal{40, call.Name("cid")};
  int page = call.Count("page_no", 1, 10000);
  int size = call.Count("page_size", kItemsPageDefault, kItemsPageMax);
  std::string sort = call.Value("sort");
  if (!sort.empty() && !IsSortOrder(sort)) throw Refusal{41, call.Name("sort")};

  int low_level = 1, high_level = 20;
  for (auto [name, level] : {std::pair{"start_credit", &low_level},
                             std::pair{"end_credit", &high_level}}) {
    std::string value = call.Value(name);
    if (value.empty()) continue;
    *level = CreditLevel(value);
    if (*level == 0) throw Refusal{41, call.Name(name)};
  }
  // Numeric bounds: price in yuan, commission rate in hundredths of a percent, count.
  struct Bound {
    const char* low;
    const char* high;
    std::function<double(const Item&)> of;
  };
  const Bound bounds[] = {
      {"start_price", "end_price", [](const Item& i) { return std::stod(i.price); }},
      {"start_commissionRate", "end_commissionRate",
       [](const Item& i) { return std::stod(i.commission_rate); }},
      {"start_commissionNum", "end_commissionNum",
       [](const Item& i) { return std::stod(i.commission_num); }},
  };
  std::vector<std::pair<const Bound*, std::pair<double, double>>> ranges;
  for (const Bound& bound : bounds) {
    double low = -1e18, high = 1e18;
    std::string low_text = call.Value(bound.low), high_text = call.Value(bound.high);
    if (!low_text.empty() && !ParseNumber(low_text, low)) throw Refusal{41, call.Name(bound.low)};
    if (!high_text.empty() && !ParseNumber(high_text, high)) {
      throw Refusal{41, call.Name(bound.high)};
    }
    if (!low_text.empty() || !high_text.empty()) ranges.push_back({&bound, {low, high}});
  }
  std::set<std::string> areas;
  for (const std::string& area : SplitList(call.Value("area"))) areas.insert(area);
  int category = cid.empty() || cid == "0" ? -1 : market_.CategoryIndex(cid);
  bool unknown_category = !cid.empty() && cid != "0" && category < 0;

  std::vector<const Item*> matches;
  if (!unknown_category) {
    for (const Item& item : market_.Items()) {
      const Seller& s = market_.Sellers()[item.seller];
      if (!s.affiliate) continue;
      if (category >= 0 && static_cast<int>(item.category) != category) continue;
      if (s.level < low_level || s.level > high_level) continue;
      if (!areas.empty() && areas.count(s.state) == 0 && areas.count(s.city) == 0) continue;
      if (!keyword.empty() && item.title.find(keyword) == std::string::npos) continue;
      bool inside = true;
      for (const auto& [bound, range] : ranges) {
        double value = bound->of(item);
        inside = inside && value >= range.first && value <= range.second;
      }
      if (inside) matches.push_back(&item);
    }
  }

  if (!sort.empty()) SortAffiliateItems(sort, matches);

  XmlText xml;
  size_t first = static_cast<size_t>(page - 1) * static_cast<size_t>(size);
  if (first < matches.size()) {
    xml.Open(call.E("taobaoke_items"), true);
    for (size_t i = first; i < matches.size() && i < first + static_cast<size_t>(size); ++i) {
      AffiliateItem(call, xml, *matches[i], Highlight(matches[i]->title, keyword), affiliate);
    }
    xml.Close(call.E("taobaoke_items"));
  }
  xml.Leaf(call.E("total_results"), std::to_string(matches.size()));
  return xml.Text();
}

void Gateway::SortAffiliateItems(const std::string& sort, std::vector<const Item*>& items) const {
  std::string field = sort.substr(0, sort.rfind('_'));
  bool descending = sort.ends_with("_desc");
  bool by_date = field == "delistTime";
  // Numbers compare as numbers; dates ("yyyy-mm-dd hh:mm:ss") compare as text. Each item's key
  // is read once, before sorting: parsing it afresh on both sides of every comparison made a
  // sorted search of the whole marketplace some thirty times slower. The sort stays stable, so
  // items with equal keys keep the marketplace's order.
  auto number = [&](const Item& item) -> double {
    if (field == "price") return std::stod(item.price);
    if (field == "credit") return market_.Sellers()[item.seller].level;
    if (field == "commissionRate") return std::stod(item.commission_rate);
    if (field == "commissionNum") return std::stod(item.commission_num);
    if (field == "commissionVolume") return std::stod(item.commission_volume);
    return 0;
  };
  struct Keyed {
    double number;
    std::string_view date;
    const Item* item;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(items.size());
  for (const Item* item : items) {
    keyed.push_back(by_date ? Keyed{0, item->delist_time, item} : Keyed{number(*item), {}, item});
  }
  std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    if (by_date) return descending ? a.date > b.date : a.date < b.date;
    return descending ? a.number > b.number : a.number < b.number;
  });
  for (size_t i = 0; i < keyed.size(); ++i) items[i] = keyed[i].item;
}

void Gateway::AffiliateItem(const Call& call, XmlText& xml, const Item& item,
                            const std::string& title, const std::string& affiliate) const {
  xml.Open(call.E("taobaoke_item"));
  call.Field(xml, "iid", item.iid);
  call.Field(xml, "title", title);
  call.Field(xml, "nick", market_.Sellers()[item.seller].nick);
  call.Field(xml, "pic_url", options_.base + item.pic.substr(1));
  call.Field(xml, "price", item.price);
  call.Field(xml, "click_url", options_.base + "click?kind=item&iid=" + item.iid + "&nick=" +
                                   EncodeUrlValue(affiliate));
  call.Field(xml, "commission", item.commission);
  call.Field(xml, "commission_rate", item.commission_rate);
  call.Field(xml, "commission_num", item.commission_num);
  call.Field(xml, "commission_volume", item.commission_volume);
  xml.Close(call.E("taobaoke_item"));
}

std::string Gateway::ItemsConvert(const Call& call) const {
  std::string affiliate = call.Required("nick");
  std::vector<std::string> iids = SplitList(call.Required("iids"));
  if (iids.size() > kMaxIids) throw Refusal{41, call.Name("iids")};
  // Only items of sellers in the affiliate programme convert; the rows come in the order the
  // ids were asked in, or the other way round when the sandbox is told so.
  std::vector<const Item*> converted;
  for (const std::string& iid : iids) {
    const Item* item = market_.ItemByIid(iid);
    if (item != nullptr && market_.Sellers()[item->seller].affiliate) converted.push_back(item);
  }
  if (options_.reverse_conversions) std::reverse(converted.begin(), converted.end());
  XmlText xml;
  size_t found = 0;
  for (const Item* item : converted) {
    if (found++ == 0) xml.Open(call.E("taobaoke_items"), true);
    AffiliateItem(call, xml, *item, item->title, affiliate);
  }
  if (found > 0) xml.Close(call.E("taobaoke_items"));
  xml.Leaf(call.E("total_results"), std::to_string(found));
  return xml.Text();
}

}  // namespace vendrix::sandbox
