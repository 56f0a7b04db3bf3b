#include "account/AccountFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/PosixIo.h"

namespace vendrix {
namespace {

// The folder that holds `path`: everything before its last "/".
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// Makes `folder` and every missing folder above it, each new one mode 0700.
void MakeFolders(const std::string& folder) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) == 0) {
    if (!S_ISDIR(status.st_mode)) throw PosixError(folder, ENOTDIR);
    return;
  }
  if (errno != ENOENT) throw PosixError(folder, errno);
  MakeFolders(FolderOf(folder));
  // Another process may have made it meanwhile.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) throw PosixError(folder, errno);
}

void WriteAll(int fd, std::string_view data, const std::string& context) {
  while (!data.empty()) {
    ssize_t n = RetryOnEintr([&] { return ::write(fd, data.data(), data.size()); });
    if (n < 0) throw PosixError(context, errno);
    data.remove_prefix(static_cast<size_t>(n));
  }
}

// The file's text; nullopt when there is no file.
std::optional<std::string> ReadText(const std::string& path) {
  UniqueFd fd(RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!fd.Valid()) {
    if (errno == ENOENT) return std::nullopt;
    throw PosixError(path, errno);
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) throw PosixError(path, errno);
  if (!S_ISREG(status.st_mode)) throw PosixError(path, EISDIR);
  if (static_cast<size_t>(status.st_size) > account_file_defaults::kMaxSize) {
    throw PosixError(path, EFBIG);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = RetryOnEintr([&] { return ::read(fd.Get(), buffer, sizeof buffer); });
    if (n < 0) throw PosixError(path, errno);
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > account_file_defaults::kMaxSize) throw PosixError(path, EFBIG);
  }
  return text;
}

}  // namespace

std::string AccountFilePath() {
  std::string home;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
  if (config != nullptr && config[0] == '/') {
    home = config;
  } else {
    const char* user_home = std::getenv("HOME");
    if (user_home == nullptr || user_home[0] == '\0') {
      struct passwd entry {};
      struct passwd* found = nullptr;
      std::vector<char> buffer(16384);
      if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
          found != nullptr) {
        user_home = found->pw_dir;
      }
    }
    home = std::string(user_home != nullptr ? user_home : "") + "/.config";
  }
  return home + "/" + account_file_defaults::kFolder + "/" + account_file_defaults::kFileName;
}

bool ReadAccountFile(const std::string& path, AccountSettings& settings, std::string& error) {
  settings = {};
  error.clear();
  std::optional<std::string> text;
  try {
    text = ReadText(path);
  } catch (const std::system_error& e) {
    error = std::string("the account settings could not be read: ") + e.what();
    return false;
  }
  if (!text) return true;
  std::string_view rest = *text;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);  // a file edited on Windows
    if (line.empty() || line.front() == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = line.substr(0, equals);
    std::string value(line.substr(equals + 1));
    if (name == "app_key") settings.app_key = value;
    if (name == "nick") settings.nick = value;
  }
  return true;
}

bool WriteAccountFile(const std::string& path, const AccountSettings& settings,
                      std::string& error) {
  error.clear();
  std::string text =
      "# Vendrix: the affiliate's own account. The application secret is kept in the\n"
      "# desktop's Secret Service (the keyring), never in this file.\n"
      "app_key=" + settings.app_key + "\n" +
      (settings.nick.empty() ? std::string() : "nick=" + settings.nick + "\n");
  const std::string folder = FolderOf(path);
  std::string temporary = path + ".XXXXXX";
  bool made = false;
  try {
    MakeFolders(folder);
    // mkstemp gives the file mode 0600 whatever the umask.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.Valid()) throw PosixError(temporary, errno);
    made = true;
    WriteAll(fd.Get(), text, temporary);
    if (::fsync(fd.Get()) != 0) throw PosixError(temporary, errno);
    fd.Reset();  // what close could still report, fsync has already said
    if (::rename(temporary.c_str(), path.c_str()) != 0) throw PosixError(path, errno);
    made = false;
    // The rename itself reaches the disk with the folder.
    UniqueFd folder_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder_fd.Valid()) ::fsync(folder_fd.Get());
  } catch (const std::system_error& e) {
    if (made) ::unlink(temporary.c_str());
    error = std::string("the account settings could not be written: ") + e.what();
    return false;
  }
  return true;
}

bool RemoveAccountFile(const std::string& path, std::string& error) {
  error.clear();
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  error = std::string("the account settings could not be removed: ") +
          PosixError(path, errno).what();
  return false;
}

}  // namespace vendrix
