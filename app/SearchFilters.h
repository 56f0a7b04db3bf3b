// The affiliate's extra search conditions: a keyword, a commission-rate range, a price range
// and an order of the items, each going out in its own slot of the affiliate item search. Pure
// values and their parsing; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

struct SearchFilters {
  std::string keyword;         // GBK; matched in item titles
  std::string commission_low;  // hundredths of a percent, decimal text; empty: not set
  std::string commission_high;
  std::string price_low;  // yuan, as typed; empty: not set
  std::string price_high;
  std::string sort;  // one of SortOrders(); empty: the platform's own order

  bool Any() const;
  bool operator==(const SearchFilters&) const = default;
};

// The platform's orders of affiliate items, "price_desc" ... "delistTime_asc".
const std::vector<std::string>& SortOrders();
bool IsSortOrder(std::string_view name);

// "LOW-HIGH" of percentages with up to two decimals, either side left out ("5-", "-12.5"), into
// hundredths of a percent ("500", "1250"). False for anything else, for neither side given,
// for a side above 100 and for LOW greater than HIGH.
bool ParseCommissionRange(std::string_view text, std::string& low, std::string& high);

// "LOW-HIGH" of yuan with up to two decimals, either side left out; each side kept as typed.
// False as for the commission range.
bool ParsePriceRange(std::string_view text, std::string& low, std::string& high);

// The range as a user types it back: "5-12.5" from "500" and "1250"; "" when neither is set.
std::string CommissionRangeText(const std::string& low, const std::string& high);
std::string PriceRangeText(const std::string& low, const std::string& high);

}  // namespace vendrix
