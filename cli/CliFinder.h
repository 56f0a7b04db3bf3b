// The shop finder's commands of vendrix-cli: categories, search, shop, convert and items, each
// running the program's start-up (or, for items and convert address, its configuration) first.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

int RunCategories(const std::vector<std::string>& args);
int RunSearch(const std::vector<std::string>& args);
int RunShop(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunItems(const std::vector<std::string>& args);

}  // namespace vendrix
