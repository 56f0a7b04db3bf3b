// The shop page of a row and the conversion of a clicked link, each split in two: what reads
// the configuration (prepared on the finder's owner thread, the only one that may touch it)
// and the platform calls (run on any one thread at a time, with nothing but the job). The
// window runs the calls off its own thread this way; the command line runs both halves at once.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "api/TaobaoSearch.h"
#include "api/TaobaoShop.h"
#include "api/TaobaokeConvert.h"
#include "api/TaobaokeShop.h"
#include "app/SellerInfo.h"

namespace vendrix {

// The records of one shop lookup, filled from the configuration.
struct ShopLookupJob {
  TaobaoShopConditions cond;
  TaobaoShopInfo back;
  TaobaoShopName name;
  TaobaoShopXML xml;
};

// Loading the shop page of one row: the shop lookup when the row has none yet, then the item
// search. The job works on a copy of the row, which the owner stores back.
struct ShopPageJob {
  size_t row = 0;
  Info seller;
  std::optional<ShopLookupJob> shop;
  TaobaoSearchConditions items_cond;
  TaobaoSearchInfo items_back;
  TaobaoSearchName items_name;
  TaobaoSearchXML items_xml;
  bool loaded = false;  // the item search succeeded
  // Why not: the shop lookup's failure while `seller.shop_loaded` is false, else the item
  // search's.
  CallFailure failure;
};

// Converting one item or one shop into its affiliate click address.
struct ConversionJob {
  enum Kind { kItem, kShop };
  Kind kind = kItem;
  TaobaokeConvertConditions item_cond;
  TaobaokeConvertInfo item_back;
  TaobaokeConvertName item_name;
  TaobaokeConvertXML item_xml;
  TaobaokeShopConditions shop_cond;
  TaobaokeShopInfo shop_back;
  TaobaokeShopName shop_name;
  TaobaokeShopXML shop_xml;
  std::string click_url;  // the web address this conversion wrote; empty when none
  // The item's commission rate as the reply gave it (hundredths of a percent, GBK), beside
  // its address; empty for a shop, or when the reply gave none.
  std::string commission_rate;
  // Why there is none: the call's failure (for a shop link, the shop lookup's while its row has
  // no shop); kind kNone when the platform answered without a web address for it.
  CallFailure failure;
};

// The affiliate address of a row's shop, with the shop lookup first when the row has none
// yet: the conversion is prepared with the configuration, and gets its shop id once known.
struct ShopLinkJob {
  size_t row = 0;
  Info seller;  // a copy of the row; the lookup fills its shop
  std::optional<ShopLookupJob> shop;
  ConversionJob conversion;
};

}  // namespace vendrix
