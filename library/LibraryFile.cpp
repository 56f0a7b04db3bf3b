#include "library/LibraryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "library/LibrarySchema.h"
#include "library/Sqlite.h"
#include "platform/PosixIo.h"

namespace vendrix::library {
namespace {

constexpr size_t kHeaderSize = 100;  // SQLite's database header

uint32_t BigEndian(const unsigned char* bytes, size_t size) {
  uint32_t value = 0;
  for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
  return value;
}

LibraryStatus Refused(LibraryStatus::Code code, const std::string& path, const std::string& why) {
  LibraryStatus status;
  status.code = code;
  if (code == LibraryStatus::kNotALibrary) {
    status.message =
        "the library " + path + " is not a Vendrix library (" + why + "); it is left as it is";
  } else if (code == LibraryStatus::kDamaged) {
    status.message = "the library " + path + " is damaged (" + why + "); it is left as it is";
  } else {
    status.message = "the library " + path + " could not be read: " + why;
  }
  return status;
}

// mkdir -p with mode 0700 for the folders it makes; throws when a folder cannot be made.
void MakeFolders(const std::string& folder) {
  if (folder.empty() || folder == "/" || folder == ".") return;
  struct stat st;
  if (::stat(folder.c_str(), &st) == 0) return;
  MakeFolders(FolderOf(folder));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw PosixError("cannot make the folder " + folder, errno);
  }
}

}  // namespace

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".new-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter++);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

namespace {

// Whether a write-ahead log or a rollback journal lies beside the library at `path`: some
// process has it open, or was stopped while it had.
bool LogBeside(const std::string& path) {
  return FileExists(path + "-wal") || FileExists(path + "-journal");
}

// A descriptor of the file at `path` for reading its header, kept open for the rest of the
// process: SQLite's locks on a file are the process's POSIX record locks, which the kernel drops
// when the process closes any descriptor of that file. The window holds two connections to the
// library; a header read that closed its own descriptor would drop the other's locks, and the
// next process to close the library would take it for unused, copy the log in and remove it
// under the window. One descriptor per file, found again by its device and inode. -1 with errno
// set when the file cannot be opened, -2 when it is no regular file.
int HeaderDescriptor(const std::string& path, struct stat& st) {
  static std::mutex guard;
  static std::map<std::pair<dev_t, ino_t>, int> kept;
  std::lock_guard<std::mutex> lock(guard);
  if (::stat(path.c_str(), &st) != 0) return -1;
  auto found = kept.find({st.st_dev, st.st_ino});
  if (found != kept.end()) return found->second;
  if (!S_ISREG(st.st_mode)) return -2;
  // Not blocking: a pipe put under the name since the stat above must not hang the open.
  int fd = RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); });
  if (fd < 0) return -1;
  struct stat opened;
  if (::fstat(fd, &opened) == 0) st = opened;
  // Another file put under the name since the stat above is kept under its own inode.
  kept.emplace(std::pair<dev_t, ino_t>{st.st_dev, st.st_ino}, fd);
  return fd;
}

}  // namespace

FileHeader ReadFileHeader(const std::string& path) {
  FileHeader header;
  const bool log_before = LogBeside(path);
  struct stat st;
  int fd = HeaderDescriptor(path, st);
  if (fd == -1) {
    if (errno == ENOENT) {
      header.missing = true;
    } else {
      header.status = Refused(LibraryStatus::kFailed, path, ErrorText(errno));
    }
    return header;
  }
  if (fd < 0 || !S_ISREG(st.st_mode)) {
    header.status = Refused(LibraryStatus::kFailed, path, "it is not a regular file");
    return header;
  }
  unsigned char bytes[kHeaderSize] = {};
  size_t have = 0;
  while (have < kHeaderSize) {
    ssize_t n = RetryOnEintr([&] {
      return ::pread(fd, bytes + have, kHeaderSize - have, static_cast<off_t>(have));
    });
    if (n < 0) {
      header.status = Refused(LibraryStatus::kFailed, path, ErrorText(errno));
      return header;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  if (have == 0) {
    header.status = Refused(LibraryStatus::kNotALibrary, path, "it is empty");
    return header;
  }
  if (have < kHeaderSize || std::memcmp(bytes, "SQLite format 3", 16) != 0) {
    header.status = Refused(LibraryStatus::kNotALibrary, path, "it is not an SQLite database");
    return header;
  }
  uint32_t application_id = BigEndian(bytes + 68, 4);
  if (application_id != library_defaults::kApplicationId) {
    header.status = Refused(LibraryStatus::kNotALibrary, path,
                            application_id == 0 ? "an SQLite database without Vendrix's mark"
                                                : "another program's SQLite database");
    return header;
  }
  // From here on the file says it is ours: what contradicts that is damage.
  uint32_t page_size = BigEndian(bytes + 16, 2);
  if (page_size == 1) page_size = 65536;
  bool page_size_valid =
      page_size >= 512 && page_size <= 65536 && (page_size & (page_size - 1)) == 0;
  if (!page_size_valid || bytes[18] < 1 || bytes[18] > 2 || bytes[19] < 1 || bytes[19] > 2) {
    header.status = Refused(LibraryStatus::kDamaged, path, "its header is damaged");
    return header;
  }
  // The page count in the header holds when the change counter beside it agrees, and only
  // while no log is beside the file: another process copying its log into the file (a
  // checkpoint) writes the first page, with the new count, before the pages that make the file
  // that long, and SQLite itself reads the pages from the log meanwhile. A log there before or
  // after the header was read leaves the judgement to SQLite (and to the check of the whole
  // file before a process first writes).
  uint32_t pages = BigEndian(bytes + 28, 4);
  if (pages > 0 && BigEndian(bytes + 24, 4) == BigEndian(bytes + 92, 4) &&
      static_cast<uint64_t>(st.st_size) < static_cast<uint64_t>(pages) * page_size &&
      !log_before && !LogBeside(path)) {
    header.status =
        Refused(LibraryStatus::kDamaged, path,
                "it is cut short: " + std::to_string(st.st_size) + " of " +
                    std::to_string(static_cast<uint64_t>(pages) * page_size) + " bytes");
    return header;
  }
  header.user_version = static_cast<int>(BigEndian(bytes + 60, 4));
  header.write_ahead_log = bytes[18] == 2;
  return header;
}

void CreateLibraryFile(const std::string& path) {
  MakeFolders(FolderOf(path));
  std::string temporary = TemporaryNameBeside(path);
  struct Remove {
    const std::string& name;
    ~Remove() { ::unlink(name.c_str()); }
  } remove{temporary};
  {
    sql::Database db(temporary, sql::Database::Mode::kCreate);
    db.Execute("PRAGMA journal_mode = DELETE");
    {
      sql::Transaction transaction(db, sql::Transaction::Kind::kWrite);
      schema::Create(db);
      transaction.Commit();
    }
    // WAL, so that readers never wait for writers; the mode stays in the file.
    db.Execute("PRAGMA journal_mode = WAL");
  }
  // The file is whole before it has its name; a file someone else put there meanwhile wins.
  if (::link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    throw PosixError("cannot make " + path, errno);
  }
  UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Valid()) ::fsync(folder.Get());
}

}  // namespace vendrix::library
