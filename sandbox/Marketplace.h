// The sandbox's marketplace: categories, sellers with their shops and locations, and affiliate
// items, generated from a seed so that every run with the same seed is the same. Read-only
// after generation, so any number of threads may query it. All text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vendrix::sandbox {

struct Category {
  std::string cid;
  std::string name;
  int sort_order = 0;
};

struct Seller {
  std::string nick;
  std::string user_id;
  std::string sex;       // "m" or "f"
  std::string state;     // province, or the city for municipalities, or the country
  std::string city;
  int level = 1;         // seller credit level 1-20
  int score = 0;
  int good_num = 0;
  int total_num = 0;
  int buyer_level = 1;
  std::string created;
  std::string last_visit;
  std::string sid;          // shop id
  std::string shop_title;
  std::string shop_desc;
  std::string bulletin;
  std::string pic_path;     // shop logo path under the shop-logo host; empty: no logo
  size_t category = 0;      // the shop's main category
  bool affiliate = true;    // in the affiliate programme: its items and shop can be converted
  std::vector<uint32_t> items;  // indices into Items(), in listing order
};

struct Item {
  std::string iid;
  uint32_t seller = 0;
  uint32_t category = 0;
  std::string title;
  std::string price;
  std::string pic;  // picture path on the sandbox, without the thumbnail suffix
  std::string commission;
  std::string commission_rate;
  std::string commission_num;
  std::string commission_volume;
  std::string volume;
  std::string post_fee;
  std::string type;
  std::string score;
  std::string delist_time;
};

// The 20 credit level names, "1heart" (level 1) to "5goldencrown" (level 20).
const std::vector<std::string>& CreditNames();
// The level of a credit name, 0 when it is not one.
int CreditLevel(std::string_view name);
// The 20 badge picture names, "b_red_1.gif" (level 1) to "s_crown_5.gif" (level 20).
const std::vector<std::string>& BadgeNames();

namespace market_defaults {
inline constexpr size_t kSellers = 2400;
inline constexpr size_t kItems = 60000;
// Sellers outside the affiliate programme, after the others: found by nick only (users, shop,
// item search by nick), never among affiliate items, never converted.
inline constexpr size_t kOutsiders = 40;
}  // namespace market_defaults

class Marketplace {
 public:
  // Generates the marketplace of `seed`; the same seed always gives the same marketplace.
  static Marketplace Generate(uint64_t seed, size_t sellers = market_defaults::kSellers,
                              size_t items = market_defaults::kItems);

  const std::vector<Category>& Categories() const { return categories_; }
  const std::vector<Seller>& Sellers() const { return sellers_; }
  const std::vector<Item>& Items() const { return items_; }

  const Seller* SellerByNick(std::string_view nick) const;
  const Seller* SellerBySid(std::string_view sid) const;
  const Item* ItemByIid(std::string_view iid) const;
  // Index of the category with `cid`, or -1.
  int CategoryIndex(std::string_view cid) const;

 private:
  std::vector<Category> categories_;
  std::vector<Seller> sellers_;
  std::vector<Item> items_;
  std::unordered_map<std::string, uint32_t> by_nick_;
  std::unordered_map<std::string, uint32_t> by_sid_;
  std::unordered_map<std::string, uint32_t> by_iid_;
};

}  // namespace vendrix::sandbox
