#include "account/OwnAccount.h"

#include <optional>

#include "platform/CodePage.h"

namespace vendrix {
namespace {

// The code point that starts `text` at `at`, moving `at` past it; nullopt for a byte sequence
// that is not UTF-8.
std::optional<char32_t> NextCodePoint(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                  : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || at + length > text.size()) return std::nullopt;
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  at += length;
  return c;
}

bool IsBlank(char32_t c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Why `text`, named `what`, is empty, not UTF-8 or holds blanks or control characters; "" when
// it is none of these.
std::string TextProblem(std::string_view text, const std::string& what) {
  if (text.empty()) return what + " is empty";
  for (size_t at = 0; at < text.size();) {
    std::optional<char32_t> c = NextCodePoint(text, at);
    if (!c) return what + " is not UTF-8 text";
    if (IsBlank(*c)) return what + " holds blanks";
    if (IsControl(*c)) return what + " holds control characters";
  }
  return "";
}

}  // namespace

std::string AppKeyProblem(std::string_view app_key) {
  std::string problem = TextProblem(app_key, "the application key");
  if (!problem.empty()) return problem;
  for (char c : app_key) {
    bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '~' || c == '-';
    if (!unreserved) return "the application key may hold only letters, digits and . _ ~ -";
  }
  return "";
}

std::string NickProblem(std::string_view nick) {
  std::string problem = TextProblem(nick, "the nick");
  if (!problem.empty()) return problem;
  // The records are GBK: a character without a GBK form would go out as "?".
  if (!Utf8ToGbkExact(nick)) return "the nick has characters that cannot be written in GBK";
  return "";
}

std::string AppSecretProblem(std::string_view secret) {
  std::string problem = TextProblem(secret, "the application secret");
  if (!problem.empty()) return problem;
  for (char c : secret) {
    if (c < '!' || c > '~') return "the application secret may hold only printable ASCII";
  }
  return "";
}

bool ReadOwnAccount(OwnAccount& account, std::string& error) {
  AccountSettings settings;
  bool read = ReadAccountFile(AccountFilePath(), settings, error);
  account = {settings.app_key, settings.nick};
  return read;
}

SecretLookup OwnSecretStored(const std::string& app_key, SecretError& error) {
  error = {};
  if (app_key.empty()) return SecretLookup::kNotStored;
  std::string secret;
  return LookUpSecret(app_key, secret, error);
}

bool SaveOwnAccount(const OwnAccount& account, const std::string& secret,
                    AccountSaveFailure& failure) {
  using Step = AccountSaveFailure::Step;
  failure = {};
  for (const std::string& problem :
       {AppKeyProblem(account.app_key), account.nick.empty() ? "" : NickProblem(account.nick),
        secret.empty() ? "" : AppSecretProblem(secret)}) {
    if (!problem.empty()) {
      failure.step = Step::kValue;
      failure.text = problem;
      return false;
    }
  }
  // A settings file that cannot be read is replaced all the same; its key's secret then stays.
  OwnAccount before;
  std::string ignored;
  ReadOwnAccount(before, ignored);
  if (secret.empty()) {
    // Only the nick changes: the key must already have its secret.
    SecretLookup stored = OwnSecretStored(account.app_key, failure.keyring);
    if (stored == SecretLookup::kNotStored) {
      failure.step = Step::kNoSecret;
      failure.text = "no secret is stored for the application key " + account.app_key;
      return false;
    }
    if (stored == SecretLookup::kFailed) {
      failure.step = Step::kKeyring;
      failure.text = "the stored secret could not be read: " + failure.keyring.Describe();
      return false;
    }
  } else if (!StoreSecret(account.app_key, secret, failure.keyring)) {
    failure.step = Step::kKeyring;
    failure.text = failure.keyring.Describe();
    return false;
  }
  if (!WriteAccountFile(AccountFilePath(), {account.app_key, account.nick}, failure.text)) {
    failure.step = Step::kSettingsFile;
    failure.secret_stored = !secret.empty();
    if (failure.secret_stored) failure.text += " (the secret is in the keyring all the same)";
    return false;
  }
  // The secret of the key replaced; a failure here leaves only an unused item behind.
  if (!before.app_key.empty() && before.app_key != account.app_key) {
    SecretError left;
    ClearSecrets(before.app_key, left);
  }
  return true;
}

bool ClearOwnAccount(std::string& error) {
  OwnAccount account;
  if (!ReadOwnAccount(account, error)) return false;
  // Without a key nothing of the account can be in the keyring: D-Bus is left alone.
  if (!account.app_key.empty()) {
    SecretError keyring;
    if (!ClearSecrets("", keyring)) {
      error = keyring.Describe();
      return false;
    }
  }
  return RemoveAccountFile(AccountFilePath(), error);
}

}  // namespace vendrix
