// A seller's items with the affiliate address of each: one item search, then the affiliate
// item conversion in batches of at most 50 ids, rows matched to items by item id. Runs on the
// finder's owner thread, using its item search and item conversion components.
#pragma once

#include <string>
#include <vector>

#include "app/ShopFinder.h"

namespace vendrix {

namespace items_defaults {
inline constexpr int kDefaultCount = 60;
inline constexpr int kMaxCount = 200;  // the item search's largest page
}  // namespace items_defaults

// One item, its values exactly as the replies gave them (GBK); the affiliate fields are empty
// when the platform did not convert the item.
struct AffiliateItemRow {
  std::string iid;
  std::string title;
  std::string price;
  std::string commission_rate;
  std::string commission;
  std::string click_url;  // only a web address; anything else stays empty
};

struct ShopItemsOutcome {
  bool searched = false;  // false: the item search failed and there are no rows
  std::vector<AffiliateItemRow> rows;
  int batches = 0;         // conversion calls made
  int failed_batches = 0;  // of which failed: their items have empty affiliate fields
  CallFailure failure;     // why the item search, or else the first batch that failed, failed
};

// The first `count` (1-200) items of `nick` (GBK) with their affiliate addresses; never more,
// whatever the reply holds.
ShopItemsOutcome ListShopItems(ShopFinder& finder, const std::string& nick, int count);

}  // namespace vendrix
