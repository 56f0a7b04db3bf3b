// The affiliate's extra search conditions: a keyword, a commission-rate range, a price range
// and an order of the items, each going out in its own slot of the affiliate item search. Pure
// values and their parsing; safe from any thread.
#pragma once

#include <optional>
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
// One commission bound in percent as a user writes it: "12.5" from "1250".
std::string CommissionText(const std::string& hundredths);

// A bound the user gives that crosses the other side of the vendor's configured range, which
// still applies because the user left that side out: the search could find nothing.
struct CrossedBound {
  bool configured_upper = false;  // the user's lower bound lies above the configured upper one
  std::string configured;         // the configured bound crossed, hundredths of a percent
};

// The configured commission-rate bound (hundredths of a percent, as the configuration writes
// them; empty: not set) that the user's bound crosses; nullopt when none is crossed. Only a
// bound the user gives is compared, and only with a configured bound of plain digits: the
// configuration's own pair goes out as it always did.
std::optional<CrossedBound> CrossedCommissionBound(const SearchFilters& filters,
                                                   const std::string& configured_low,
                                                   const std::string& configured_high);

}  // namespace vendrix
