#include "account/Credentials.h"

#include <cstdlib>

#include "account/OwnAccount.h"

namespace vendrix {
namespace {

// A variable's value; an empty one counts as not set, as for the other VENDRIX_* variables.
std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The three variables, and the first reason they cannot be used ("" when they can).
CredentialValues ReadVariables(std::string& problem) {
  using namespace credential_variables;
  CredentialValues values{Variable(kAppKey), Variable(kAppSecret), Variable(kNick)};
  problem.clear();
  if (values.app_key.empty() != values.app_sec.empty()) {
    problem = std::string(values.app_key.empty() ? kAppSecret : kAppKey) + " is set but " +
              (values.app_key.empty() ? kAppKey : kAppSecret) + " is not: give both, or neither";
    return values;
  }
  const std::pair<const char*, std::string> checks[] = {
      {kAppKey, values.app_key.empty() ? "" : AppKeyProblem(values.app_key)},
      {kAppSecret, values.app_sec.empty() ? "" : AppSecretProblem(values.app_sec)},
      {kNick, values.nick.empty() ? "" : NickProblem(values.nick)},
  };
  for (const auto& [name, why] : checks) {
    if (!why.empty()) {
      problem = std::string(name) + ": " + why;
      break;
    }
  }
  return values;
}

}  // namespace

const char* SourceName(CredentialSource source) {
  switch (source) {
    case CredentialSource::kEnvironment: return "environment";
    case CredentialSource::kOwnAccount: return "own account";
    case CredentialSource::kVendorDocument: return "vendor document";
    case CredentialSource::kBuiltIn: return "built-in";
    case CredentialSource::kNone: break;
  }
  return "none";
}

CredentialChoice ChooseCredentials(const CredentialValues& environment,
                                   const CredentialValues& own,
                                   const std::optional<CredentialValues>& document,
                                   const std::string& built_in_nick) {
  CredentialChoice choice;
  auto pair = [](const CredentialValues& v) { return !v.app_key.empty() && !v.app_sec.empty(); };
  if (pair(environment)) {
    choice.key_source = CredentialSource::kEnvironment;
    choice.app_key = environment.app_key;
    choice.app_sec = environment.app_sec;
  } else if (pair(own)) {
    choice.key_source = CredentialSource::kOwnAccount;
    choice.app_key = own.app_key;
    choice.app_sec = own.app_sec;
  } else if (document) {
    choice.key_source = CredentialSource::kVendorDocument;
    choice.app_key = document->app_key;
    choice.app_sec = document->app_sec;
  }
  if (!environment.nick.empty()) {
    choice.nick_source = CredentialSource::kEnvironment;
    choice.nick = environment.nick;
  } else if (!own.nick.empty()) {
    choice.nick_source = CredentialSource::kOwnAccount;
    choice.nick = own.nick;
  } else if (document && !document->nick.empty()) {
    choice.nick_source = CredentialSource::kVendorDocument;
    choice.nick = document->nick;
  } else {
    choice.nick_source = CredentialSource::kBuiltIn;
    choice.nick = built_in_nick;
  }
  return choice;
}

std::string CredentialVariablesProblem() {
  std::string problem;
  ReadVariables(problem);
  return problem;
}

UserCredentials ReadUserCredentials() {
  UserCredentials user;
  user.environment = ReadVariables(user.problem);
  if (!user.problem.empty()) return user;

  OwnAccount account;
  std::string error;
  if (!ReadOwnAccount(account, error)) {
    user.notes.push_back(error + "; the own account is not used");
    return user;
  }
  // A hand-edited file may hold what `account set` would have refused.
  if (!account.app_key.empty()) {
    if (std::string why = AppKeyProblem(account.app_key); !why.empty()) {
      user.notes.push_back("the own account in " + AccountFilePath() + " is not used: " + why);
      account.app_key.clear();
    }
  }
  if (!account.nick.empty()) {
    if (std::string why = NickProblem(account.nick); !why.empty()) {
      user.notes.push_back("the own account's nick in " + AccountFilePath() + " is not used: " +
                           why);
      account.nick.clear();
    }
  }
  user.own.app_key = account.app_key;
  user.own.nick = account.nick;
  bool pair_given = !user.environment.app_key.empty();
  if (account.app_key.empty() || pair_given) return user;

  SecretError keyring;
  switch (LookUpSecret(account.app_key, user.own.app_sec, keyring)) {
    case SecretLookup::kFound:
      user.own_secret = OwnSecret::kRead;
      break;
    case SecretLookup::kNotStored:
      user.own_secret = OwnSecret::kNotStored;
      user.notes.push_back("no secret of the own account's application key " + account.app_key +
                           " is stored in the Secret Service (vendrix-cli account set)");
      break;
    case SecretLookup::kFailed:
      user.own_secret = OwnSecret::kUnreadable;
      user.notes.push_back("the own account's secret could not be read: " +
                           keyring.Describe());
      break;
  }
  return user;
}

}  // namespace vendrix
