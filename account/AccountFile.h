// The settings file of the affiliate's own account: the application key and the affiliate
// nick, UTF-8, in $XDG_CONFIG_HOME/vendrix/account.conf (~/.config/vendrix/ without it). The
// window and the command line both read it; the secret is never in it (see SecretStore.h).
// Any thread; two processes writing at once leave one whole file, the last one's.
#pragma once

#include <string>

namespace vendrix {

namespace account_file_defaults {
inline constexpr const char* kFolder = "vendrix";        // under the configuration home
inline constexpr const char* kFileName = "account.conf";
inline constexpr size_t kMaxSize = 64 * 1024;            // a larger file is not ours
}  // namespace account_file_defaults

// What the file holds; an empty value is one the file does not give.
struct AccountSettings {
  std::string app_key;
  std::string nick;
};

// The file's path: $XDG_CONFIG_HOME (when absolute), else $HOME/.config, else the home folder
// of the user's password entry, followed by vendrix/account.conf.
std::string AccountFilePath();

// Reads `path` into `settings`. A missing file is an empty account (true); lines it does not
// know are skipped. False, with `error` saying why and `settings` left empty, when the file
// exists but cannot be read.
bool ReadAccountFile(const std::string& path, AccountSettings& settings, std::string& error);

// Replaces `path` with `settings` at once: a temporary file beside it, mode 0600, written,
// flushed to the disk and renamed over it; the folder is made (mode 0700) when missing. False,
// with `error` saying why, when any step failed; the old file is then as it was.
bool WriteAccountFile(const std::string& path, const AccountSettings& settings,
                      std::string& error);

// Removes `path`; a file that is not there is no failure. False, with `error`, otherwise.
bool RemoveAccountFile(const std::string& path, std::string& error);

}  // namespace vendrix
