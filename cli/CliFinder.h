// The shop finder's commands of vendrix-cli: categories, search, shop and convert, each running
// the program's start-up first.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

int RunCategories(const std::vector<std::string>& args);
int RunSearch(const std::vector<std::string>& args);
int RunShop(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

}  // namespace vendrix
