// Which credentials a run uses. The application key and secret come as a pair from the first
// source that holds both: the VENDRIX_APP_KEY and VENDRIX_APP_SECRET variables, else the own
// account (settings file and Secret Service), else the vendor's configuration document. The
// nick comes from VENDRIX_NICK, else the own account, else the document, else the built-in
// one. The choice itself is a pure function; ReadUserCredentials reads the user's two sources.
// Any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vendrix {

namespace credential_variables {
inline constexpr const char* kAppKey = "VENDRIX_APP_KEY";
inline constexpr const char* kAppSecret = "VENDRIX_APP_SECRET";
inline constexpr const char* kNick = "VENDRIX_NICK";
}  // namespace credential_variables

enum class CredentialSource { kNone, kEnvironment, kOwnAccount, kVendorDocument, kBuiltIn };

// "environment", "own account", "vendor document", "built-in" or "none".
const char* SourceName(CredentialSource source);

// What one source holds; an empty value is one it does not give. The choice does not look at
// the encoding: all sources given to it are in one.
struct CredentialValues {
  std::string app_key;
  std::string app_sec;
  std::string nick;
};

struct CredentialChoice {
  std::string app_key;
  std::string app_sec;
  std::string nick;
  CredentialSource key_source = CredentialSource::kNone;  // of the key and the secret, a pair
  CredentialSource nick_source = CredentialSource::kNone;
};

// The credentials of a run. `document` is nullopt when the vendor's document could not be
// read; a document that was read gives its key and secret as they are, even empty, when no
// source before it gives both. The nick is `built_in_nick` when no source gives one.
CredentialChoice ChooseCredentials(const CredentialValues& environment,
                                   const CredentialValues& own,
                                   const std::optional<CredentialValues>& document,
                                   const std::string& built_in_nick);

// What became of the own account's secret while reading.
enum class OwnSecret {
  kNotAsked,    // no own key, or the environment gives the pair: the keyring was not asked
  kRead,        // in `own.app_sec`
  kNotStored,   // the keyring holds none for the key
  kUnreadable,  // the keyring could not be asked or stayed locked (see the notes)
};

// The user's two sources, UTF-8.
struct UserCredentials {
  CredentialValues environment;
  CredentialValues own;  // key and nick from the settings file, the secret from the keyring
  OwnSecret own_secret = OwnSecret::kNotAsked;
  // Bad usage: a variable of the pair without the other, or a value that cannot be used.
  // Nothing may be sent then.
  std::string problem;
  // What was passed over, and why ("the own account's secret could not be read: ..."); the
  // run goes on with the next source and says these to the user.
  std::vector<std::string> notes;
};

// Reads the three variables and the own account. The Secret Service is asked only when the
// settings file holds a key and the variables give no pair: without an own key nothing
// touches D-Bus. Blocks while the keyring is asked (up to keyring_defaults::kTimeout).
UserCredentials ReadUserCredentials();

// The `problem` of ReadUserCredentials from the variables alone, without reading the own
// account: "" when they can be used.
std::string CredentialVariablesProblem();

}  // namespace vendrix
