// The application secret of the own account in the desktop's Secret Service (GNOME Keyring,
// KeePassXC, KWallet's Secret Service) through libsecret's synchronous calls: one item per
// application key, in the default collection (the login keyring). Nothing else of Vendrix's
// talks to D-Bus. Any thread; every call ends within kTimeout, so that a keyring waiting to be
// unlocked behind a prompt nobody answers cannot hold a run. A password prompt still open then
// stays open for the user (it is never dismissed: gnome-keyring-daemon 42 aborts when an unlock
// prompt is dismissed under it); the call behind it goes on, on a thread of its own, and does
// nothing more once the prompt ends.
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

// Why the Secret Service could not do what was asked, in kinds the window and the command line
// each word in their own language.
enum class SecretFailure {
  kNone,
  kUnreachable,  // no Secret Service on the session bus, no session bus, or no answer in time
  kLocked,       // the keyring is locked (or missing) and was not unlocked: no prompt could be
                 // shown, it was dismissed, or nobody answered it within kTimeout
  kRefused,      // the service refused the call
  kOther,        // anything else the service or libsecret reported
};

struct SecretError {
  SecretFailure kind = SecretFailure::kNone;
  std::string detail;  // what libsecret or the service said, English; may be empty

  // The kind in English words, then the detail.
  std::string Describe() const;
};

enum class SecretLookup {
  kFound,      // the secret is there
  kNotStored,  // the keyring holds none for the key
  kFailed,     // it could not be asked or opened; the error says why
};

// Stores `secret` (text) as the secret of `app_key`, replacing any stored for that key before.
// A locked keyring is unlocked first, which may prompt the user. False, with `error` saying
// why, when nothing was stored: no Secret Service could be reached, or its keyring is locked
// and was not unlocked (without a prompt, or within kTimeout; an unlock after that stores
// nothing either).
bool StoreSecret(const std::string& app_key, const std::string& secret, SecretError& error);

// The secret of `app_key`. A locked keyring is unlocked on the way, which may prompt the user.
// kFound with `secret`; kNotStored when there is none for the key; kFailed, with `error`
// saying why, when the Secret Service could not be reached or a keyring holding the secret
// stayed locked.
SecretLookup LookUpSecret(const std::string& app_key, std::string& secret, SecretError& error);

// Removes the secret of `app_key`, or every secret of Vendrix's when `app_key` is empty. True
// when none of them is left; false, with `error` saying why, when the Secret Service could not
// be reached or a locked keyring keeps one.
bool ClearSecrets(const std::string& app_key, SecretError& error);

}  // namespace vendrix
