// vendrix-cli call METHOD [name=value...]: one platform call with the run's credentials and the
// configuration document's names, its result table printed as TSV.
#pragma once

#include <string>
#include <vector>

namespace vendrix {

int RunCall(const std::vector<std::string>& args);

}  // namespace vendrix
