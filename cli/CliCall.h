// vendrix-cli call METHOD [name=value...]: one platform call with the credentials and names of
// the configuration document, its result table printed as TSV.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

int RunCall(const std::vector<std::string>& args);

}  // namespace vendrix
