#include "app/SearchFilters.h"

#include <algorithm>
#include <cstdint>

namespace vendrix {
namespace {

constexpr size_t kMaxWholeDigits = 9;  // far beyond any price or percentage, far inside int64
constexpr int64_t kWholeCommission = 10000;  // 100%, in hundredths of a percent

// A decimal number with up to two decimals, in hundredths; false when `text` is not one.
bool Hundredths(std::string_view text, int64_t& value) {
  size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
  if (whole.empty() || whole.size() > kMaxWholeDigits || fraction.size() > 2) return false;
  if (point != std::string_view::npos && fraction.empty()) return false;
  auto digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(whole) || !digits(fraction)) return false;
  value = 0;
  for (char c : whole) value = value * 10 + (c - '0');
  value *= 100;
  if (fraction.size() >= 1) value += (fraction[0] - '0') * 10;
  if (fraction.size() == 2) value += fraction[1] - '0';
  return true;
}

// Splits "LOW-HIGH" at its one "-" and checks both sides; `low_value`/`high_value` in
// hundredths for the sides given, 0 for a side left out.
bool SplitRange(std::string_view text, std::string_view& low, std::string_view& high,
                int64_t& low_value, int64_t& high_value) {
  size_t dash = text.find('-');
  if (dash == std::string_view::npos || text.find('-', dash + 1) != std::string_view::npos) {
    return false;
  }
  low = text.substr(0, dash);
  high = text.substr(dash + 1);
  if (low.empty() && high.empty()) return false;
  low_value = 0;
  high_value = 0;
  if (!low.empty() && !Hundredths(low, low_value)) return false;
  if (!high.empty() && !Hundredths(high, high_value)) return false;
  return low.empty() || high.empty() || low_value <= high_value;
}

}  // namespace

bool SearchFilters::Any() const {
  return !keyword.empty() || !commission_low.empty() || !commission_high.empty() ||
         !price_low.empty() || !price_high.empty() || !sort.empty();
}

const std::vector<std::string>& SortOrders() {
  static const std::vector<std::string> orders = {
      "price_desc",           "price_asc",          "credit_desc",       "commissionRate_desc",
      "commissionRate_asc",   "commissionNum_desc", "commissionNum_asc", "commissionVolume_desc",
      "commissionVolume_asc", "delistTime_desc",    "delistTime_asc"};
  return orders;
}

bool IsSortOrder(std::string_view name) {
  const std::vector<std::string>& orders = SortOrders();
  return std::find(orders.begin(), orders.end(), name) != orders.end();
}

bool ParseCommissionRange(std::string_view text, std::string& low, std::string& high) {
  std::string_view low_text, high_text;
  int64_t low_value = 0, high_value = 0;
  if (!SplitRange(text, low_text, high_text, low_value, high_value)) return false;
  // No item pays more than its price: a rate above 100% is a slip (a commission typed for a
  // rate, or a missing point), not a bound that merely finds nothing.
  if (low_value > kWholeCommission || high_value > kWholeCommission) return false;
  low = low_text.empty() ? "" : std::to_string(low_value);
  high = high_text.empty() ? "" : std::to_string(high_value);
  return true;
}

bool ParsePriceRange(std::string_view text, std::string& low, std::string& high) {
  std::string_view low_text, high_text;
  int64_t low_value = 0, high_value = 0;
  if (!SplitRange(text, low_text, high_text, low_value, high_value)) return false;
  low = std::string(low_text);
  high = std::string(high_text);
  return true;
}

std::string CommissionRangeText(const std::string& low, const std::string& high) {
  if (low.empty() && high.empty()) return "";
  return CommissionText(low) + "-" + CommissionText(high);
}

std::string PriceRangeText(const std::string& low, const std::string& high) {
  if (low.empty() && high.empty()) return "";
  return low + "-" + high;
}

std::string CommissionText(const std::string& hundredths) {
  if (hundredths.empty()) return "";
  int64_t value = std::stoll(hundredths);
  std::string text = std::to_string(value / 100);
  int64_t cents = value % 100;
  if (cents != 0) {
    text += '.';
    text += static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) text += static_cast<char>('0' + cents % 10);
  }
  return text;
}

std::optional<CrossedBound> CrossedCommissionBound(const SearchFilters& filters,
                                                   const std::string& configured_low,
                                                   const std::string& configured_high) {
  // A configured bound that is not plain digits is the platform's to judge, as it always was.
  auto number = [](const std::string& text) -> std::optional<int64_t> {
    if (text.empty() || text.size() > kMaxWholeDigits ||
        text.find_first_not_of("0123456789") != std::string::npos) {
      return std::nullopt;
    }
    return std::stoll(text);
  };
  std::optional<int64_t> low = number(filters.commission_low);
  std::optional<int64_t> high = number(filters.commission_high);
  // A side the user gives replaces the configured one: only the other side can be crossed.
  std::optional<int64_t> upper = number(configured_high);
  if (low && filters.commission_high.empty() && upper && *low > *upper) {
    return CrossedBound{.configured_upper = true, .configured = configured_high};
  }
  std::optional<int64_t> lower = number(configured_low);
  if (high && filters.commission_low.empty() && lower && *high < *lower) {
    return CrossedBound{.configured_upper = false, .configured = configured_low};
  }
  return std::nullopt;
}

}  // namespace vendrix
