// vendrix-cli account set|show|clear: the affiliate's own account, its key and nick in the
// settings file and its secret in the desktop's Secret Service.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

// `args` are the words after "account".
int RunAccount(const std::vector<std::string>& args);

}  // namespace vendrix
