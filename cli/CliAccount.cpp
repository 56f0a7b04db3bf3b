#include "cli/CliAccount.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "account/OwnAccount.h"
#include "app/ShopFinder.h"
#include "app/TableText.h"
#include "cli/CliText.h"
#include "platform/CodePage.h"
#include "platform/PosixIo.h"

namespace vendrix {
namespace {

using cli::kFailed;
using cli::kOk;
using cli::kUsage;
using cli::Usage;

namespace account_cli_defaults {
inline constexpr size_t kMaxSecretLine = 1024;  // no application secret comes near this
}  // namespace account_cli_defaults

// The terminal's settings while its echo is off, for the signal handler to put back.
struct termios saved_terminal;

void RestoreTerminalAndDie(int signal) {
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Turns the terminal's echo off while it exists; Ctrl+C on the way puts it back.
class NoEcho {
 public:
  NoEcho() {
    if (::tcgetattr(STDIN_FILENO, &saved_terminal) != 0) return;
    struct termios quiet = saved_terminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    struct sigaction restore {};
    restore.sa_handler = RestoreTerminalAndDie;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &restore, &before_[i]);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~NoEcho() {
    if (!active_) return;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_terminal);
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &before_[i], nullptr);
  }
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction before_[3] {};
  bool active_ = false;
};

// The first line of standard input without its line end; a terminal is asked for it without
// echo. False when the line is longer than any secret.
bool ReadSecretLine(const std::string& app_key, std::string& line) {
  line.clear();
  bool terminal = ::isatty(STDIN_FILENO) == 1;
  std::optional<NoEcho> quiet;
  if (terminal) {
    // The echo goes before the prompt comes: nothing typed after it can show.
    quiet.emplace();
    std::cerr << "application secret for " << app_key << ": " << std::flush;
  }
  // Byte by byte: nothing after the first line is taken from the input.
  bool too_long = false;
  for (char c; RetryOnEintr([&] { return ::read(STDIN_FILENO, &c, 1); }) == 1 && c != '\n';) {
    if (line.size() < account_cli_defaults::kMaxSecretLine) {
      line += c;
    } else {
      too_long = true;
    }
  }
  if (terminal) {
    quiet.reset();
    std::cerr << "\n";
  }
  if (line.ends_with('\r')) line.pop_back();  // a line pasted from Windows
  return !too_long;
}

// account set --app-key KEY [--nick NICK]
int Set(const std::vector<std::string>& args) {
  std::optional<std::string> app_key;
  std::optional<std::string> nick;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--app-secret" || arg.starts_with("--app-secret=")) {
      return Usage(
          "the secret is never given on the command line: account set reads it from standard "
          "input");
    }
    std::optional<std::string>* target =
        arg == "--app-key" ? &app_key : arg == "--nick" ? &nick : nullptr;
    if (target == nullptr) return cli::UnexpectedArgument(arg);
    if (i + 1 >= args.size()) return Usage(arg + " needs a value");
    *target = args[++i];
  }
  if (!app_key) return Usage("account set needs --app-key KEY");
  if (std::string why = AppKeyProblem(*app_key); !why.empty()) return Usage(why);
  if (nick) {
    if (std::string why = NickProblem(*nick); !why.empty()) return Usage(why);
  }

  std::string secret;
  if (!ReadSecretLine(*app_key, secret)) return Usage("the application secret is too long");
  if (secret.empty()) {
    return Usage(
        "account set reads the application secret from the first line of standard input, "
        "and it was empty");
  }
  if (std::string why = AppSecretProblem(secret); !why.empty()) return Usage(why);

  OwnAccount account{*app_key, nick.value_or("")};
  if (!nick) {
    // Without --nick the nick stored before stays.
    OwnAccount before;
    std::string ignored;
    if (ReadOwnAccount(before, ignored)) account.nick = before.nick;
  }
  AccountSaveFailure failure;
  if (!SaveOwnAccount(account, secret, failure)) {
    std::cerr << "vendrix-cli: the own account was not stored: " << CellText(failure.text)
              << "\n";
    return kFailed;
  }
  return kOk;
}

// account show: the run's credentials with their sources, then the own account.
int Show(const std::vector<std::string>& args) {
  if (!args.empty()) return cli::UnexpectedArgument(args[0]);
  ShopFinder finder;
  if (!cli::StartUp(finder, true)) return kUsage;
  const CredentialChoice& run = finder.Credentials();
  const UserCredentials& user = finder.UserSources();
  // The secret of an own key the run did not need (the variables give the pair) is looked for
  // now; without an own key there is none, and the keyring is left alone.
  std::string own_secret;
  switch (user.own_secret) {
    case OwnSecret::kRead: own_secret = "stored"; break;
    case OwnSecret::kNotStored: own_secret = "not stored"; break;
    case OwnSecret::kUnreadable: own_secret = "unreadable"; break;
    case OwnSecret::kNotAsked: {
      SecretError error;
      SecretLookup stored = OwnSecretStored(user.own.app_key, error);
      own_secret = stored == SecretLookup::kFound       ? "stored"
                   : stored == SecretLookup::kNotStored ? "not stored"
                                                        : "unreadable";
      if (stored == SecretLookup::kFailed) {
        std::cerr << "vendrix-cli: the own account's secret could not be read: "
                  << CellText(error.Describe()) << "\n";
      }
      break;
    }
  }
  const char* key_source = SourceName(run.key_source);
  std::cout << "app_key\t" << CellText(GbkToUtf8(run.app_key)) << "\t" << key_source << "\n"
            << "app_sec\t" << (run.app_sec.empty() ? "empty" : "set") << "\t" << key_source << "\n"
            << "nick\t" << CellText(GbkToUtf8(run.nick)) << "\t" << SourceName(run.nick_source)
            << "\n"
            << "own_app_key\t" << CellText(user.own.app_key) << "\n"
            << "own_app_sec\t" << own_secret << "\n"
            << "own_nick\t" << CellText(user.own.nick) << "\n";
  return kOk;
}

// account clear
int Clear(const std::vector<std::string>& args) {
  if (!args.empty()) return cli::UnexpectedArgument(args[0]);
  std::string error;
  if (!ClearOwnAccount(error)) {
    std::cerr << "vendrix-cli: the own account could not be forgotten: " << CellText(error)
              << "\n";
    return kFailed;
  }
  return kOk;
}

}  // namespace

int RunAccount(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("account takes set, show, clear or test");
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "set") return Set(rest);
  if (args[0] == "show") return Show(rest);
  if (args[0] == "clear") return Clear(rest);
  return Usage("account takes set, show, clear or test, not '" + CellText(args[0]) + "'");
}

}  // namespace vendrix
