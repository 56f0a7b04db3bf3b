// The library file on disk before SQLite opens it: its header read with plain reads, so that
// another program's file is recognised without opening it as a database (which could leave
// files beside it), and a new library made complete under a temporary name and then linked
// into place, so that the file is either missing or a whole library. Any thread.
#pragma once

#include <cstdint>
#include <string>

#include "library/Library.h"

namespace vendrix::library {

struct FileHeader {
  bool missing = false;          // no file there: nothing else below is filled
  LibraryStatus status;          // not ok: not a library, damaged, or unreadable
  int user_version = 0;          // the schema version as the file itself (not its log) holds it
  bool write_ahead_log = false;  // the file is in WAL mode
};

// The header of the file at `path`, checked: an SQLite database (its magic text, a valid
// page size and format), Vendrix's application id, and at least as long as it says it is
// (judged only when no log lies beside it: another process may be copying its log in).
FileHeader ReadFileHeader(const std::string& path);

// Whether a file exists at `path` (a write-ahead log beside a library, say).
bool FileExists(const std::string& path);

// Makes a new, empty library at `path` unless a file is already there (another process may
// have made it meanwhile), creating the folder (mode 0700) when missing. Throws
// std::system_error or sql::Error when it cannot.
void CreateLibraryFile(const std::string& path);

// `path`'s folder, "." for a bare name.
std::string FolderOf(const std::string& path);

// A name beside `path` that no other process uses: for a file made and then renamed.
std::string TemporaryNameBeside(const std::string& path);

}  // namespace vendrix::library
