// The application secret of the own account in the desktop's Secret Service (GNOME Keyring,
// KeePassXC, KWallet's Secret Service) through libsecret's synchronous calls: one item per
// application key, in the default collection (the login keyring). Nothing else of Vendrix's
// talks to D-Bus. Any thread; every call ends within kTimeout, so that a keyring waiting to be
// unlocked behind a prompt nobody answers cannot hold a run.
#pragma once

#include <chrono>
#include <string>

namespace vendrix {

namespace keyring_defaults {
inline constexpr std::chrono::seconds kTimeout{30};
// The item's schema and the attribute that marks it as Vendrix's.
inline constexpr const char* kSchemaName = "net.vendrix.Vendrix.AppSecret";
inline constexpr const char* kApplication = "net.vendrix.Vendrix";
}  // namespace keyring_defaults

enum class SecretLookup {
  kFound,      // the secret is there
  kNotStored,  // the keyring holds none for the key
  kFailed,     // it could not be asked or opened; the error says why
};

// Stores `secret` (text) as the secret of `app_key`, replacing any stored for that key before.
// False, with `error` saying why, when nothing was stored: no Secret Service could be reached,
// or its keyring is locked and was not unlocked (without a prompt, or within kTimeout).
bool StoreSecret(const std::string& app_key, const std::string& secret, std::string& error);

// The secret of `app_key`. A locked keyring is unlocked on the way, which may prompt the user.
// kFound with `secret`; kNotStored when there is none for the key; kFailed, with `error`
// saying why, when the Secret Service could not be reached or a keyring holding the secret
// stayed locked.
SecretLookup LookUpSecret(const std::string& app_key, std::string& secret, std::string& error);

// Removes the secret of `app_key`, or every secret of Vendrix's when `app_key` is empty. True
// when none of them is left; false, with `error` saying why, when the Secret Service could not
// be reached or a locked keyring keeps one.
bool ClearSecrets(const std::string& app_key, std::string& error);

}  // namespace vendrix
