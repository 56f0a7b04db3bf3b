// One seller row of a search (`Info`) and the rows of the current search (`PInfo`). Written by
// the search worker while a search runs, read by the window's thread after it has ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/TaobaoSearch.h"

namespace vendrix {

struct Info {
  std::string sid;             // shop id, from the shop lookup
  std::string nick;
  std::string location;        // state followed by city, or the city alone when they agree
  std::string title;           // shop title, from the shop lookup
  std::string credit_pic_url;  // the credit badge's address; empty for a level outside 1-20
  std::string logo_url;        // the shop logo's address, from the shop lookup
  int32_t level = 0;           // 1-20 once looked up; 0 when the platform gave no valid level
  PTaobaoSearchInfo items;     // the seller's items, replaced on every selection of the row
  bool shop_loaded = false;    // the shop lookup for this row has succeeded
  bool looked_up = false;      // the user lookup batch of this row succeeded
};

using PInfo = std::vector<Info>;

}  // namespace vendrix
