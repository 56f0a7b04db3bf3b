// vendrix-cli account test: one signed category call and one affiliate item search with the
// credentials and nick a search would use; the round trips, or what to fix.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

// Exit 0 when both calls went through and click addresses come back for the nick; 1, with
// what to fix on stderr, when a call failed or none came back; 2 for bad usage.
int RunAccountTest(const std::vector<std::string>& args);

}  // namespace vendrix
