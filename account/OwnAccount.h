// The affiliate's own account as one thing: the application key and the nick in the settings
// file (AccountFile.h), the application secret in the Secret Service (SecretStore.h). What
// `vendrix-cli account` and the window's account settings use. Any thread; the calls marked
// [keyring] talk to the Secret Service, block for up to keyring_defaults::kTimeout and belong
// off the window's thread.
#pragma once

#include <string>
#include <string_view>

#include "account/AccountFile.h"
#include "account/SecretStore.h"

namespace vendrix {

// Why `app_key` cannot be an application key, or "" when it can. It goes into every request
// address as it is, so it is not empty, holds no blanks or control characters, and holds only
// ASCII letters, digits and . _ ~ -.
std::string AppKeyProblem(std::string_view app_key);

// Why `nick` (UTF-8) cannot be an affiliate nick, or "" when it can: not empty, UTF-8, without
// blanks or control characters, every character with a GBK form.
std::string NickProblem(std::string_view nick);

// Why `secret` cannot be an application secret, or "" when it can: not empty, printable ASCII
// without blanks (a pasted line break or a stray blank would only make every signature wrong).
std::string AppSecretProblem(std::string_view secret);

// The own account as the settings file gives it (UTF-8); an empty value is none.
struct OwnAccount {
  std::string app_key;
  std::string nick;
};

// Reads the settings file; no D-Bus. A missing file is an empty account. False, with `error`
// saying why, when the file cannot be read.
bool ReadOwnAccount(OwnAccount& account, std::string& error);

// [keyring] Whether the Secret Service holds the secret of the own account's key; the secret
// itself is not kept. `app_key` empty: kNotStored, without asking.
SecretLookup OwnSecretStored(const std::string& app_key, SecretError& error);

// Why the own account was not saved.
struct AccountSaveFailure {
  enum class Step {
    kNone,
    kValue,         // a value that cannot be used
    kNoSecret,      // no secret given, and none stored for the key
    kKeyring,       // the Secret Service: `keyring` says why
    kSettingsFile,  // the settings file could not be written
  };
  Step step = Step::kNone;
  SecretError keyring;
  bool secret_stored = false;  // with kSettingsFile: the new secret is in the keyring
  std::string text;            // the whole reason in English, for the command line
};

// [keyring] Saves the own account: `secret` under `account.app_key` in the Secret Service, then
// the key and the nick in the settings file; a secret stored for another key before goes.
// An empty `secret` keeps the one stored for the same key. An empty nick stores none. False,
// with `failure` saying why: an invalid value, no Secret Service, a keyring that stayed locked
// (the settings file is then as it was and nothing is stored), or a settings file that could
// not be written (the new secret is then in the keyring, the old file as it was).
bool SaveOwnAccount(const OwnAccount& account, const std::string& secret,
                    AccountSaveFailure& failure);

// [keyring, only when the settings file holds a key] Forgets the own account: its secrets
// leave the Secret Service, then the settings file goes. False, with `error` saying why, when
// the file could not be read or removed, or the secret could not be removed (the file then
// stays, so that nothing is left behind unnamed).
bool ClearOwnAccount(std::string& error);

}  // namespace vendrix
