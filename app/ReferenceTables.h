// The shop finder's fixed tables: credit levels with their names and badge pictures, the
// regions of the region chooser with the value each sends, the built-in category table, the
// category names left out of the list, and the seller list's columns. All text is GBK,
// converted once from the UTF-8 of the source. Read-only; safe from any thread.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

constexpr int kCreditLevels = 20;
constexpr int kRegionCount = 63;
constexpr int kRegionGroups = 5;  // the first five regions send a fixed group text

struct CreditLevel {
  int level;               // 1-20
  std::string name;        // "1heart" ... "5goldencrown", sent as start_credit / end_credit
  std::string badge;       // "b_red_1.gif" ... "s_crown_5.gif", under the rank-picture base
};

struct Region {
  std::string item;  // the chooser's text
  std::string area;  // the `area` value sent
};

struct CatsInfo {
  std::string cid;
  std::string name;
};

struct ListColumn {
  std::string caption;
  int width;
};

// Entry i is level i + 1.
const std::vector<CreditLevel>& CreditLevels();
// The badge picture name of `level`, or "" for a level outside 1-20.
std::string BadgeName(int level);
const std::vector<Region>& Regions();
// The 55 entries used when the category call fails; entry 0 is "所有类目" with cid "0".
const std::vector<CatsInfo>& BuiltInCategories();
// The six category names the list leaves out.
const std::vector<std::string>& ExcludedCategories();
const std::vector<ListColumn>& ListColumns();

}  // namespace vendrix
