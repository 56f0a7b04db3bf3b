// The affiliate's library from the command line: `history`, `saved` and `library`, and the
// history entry of what `convert` hands to the user. The library is the file that
// library::DefaultLibraryPath() names.
#pragma once

#include <string>
#include <vector>

#include "library/Library.h"

namespace vendrix {

int RunHistory(const std::vector<std::string>& args);
int RunSaved(const std::vector<std::string>& args);
int RunLibrary(const std::vector<std::string>& args);

// Records `entry` (UTF-8) in the history, unless VENDRIX_HISTORY turns recording off. When the
// library cannot be used, says on stderr that nothing was recorded, and why; the command's
// outcome stays what it was.
void RecordInHistory(library::HistoryEntry entry);

}  // namespace vendrix
