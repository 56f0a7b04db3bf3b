#include "sandbox/SandboxMain.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "VendrixVersion.h"
#include "sandbox/Sandbox.h"

namespace vendrix::sandbox {
namespace {

constexpr const char* kUsage =
    "usage: vendrix-sandbox [--port N] [--seed N] [--latency-ms N] [--faults LIST]\n"
    "                       [--log FILE] [--gbk] [--renamed] [--reverse-conversions]\n"
    "                       [--app-key KEY] [--app-secret SECRET] [--clock-offset SECONDS]\n"
    "       vendrix-sandbox --help | --version\n"
    "  --faults LIST            comma list of drop=P, error=P, slow=P, garbage=P, sign=P\n"
    "  --app-key KEY            the application key the configuration document hands out\n"
    "                           and the gateway accepts (default 21000001); others get\n"
    "                           code 29\n"
    "  --app-secret SECRET      the secret it hands out and checks signatures with (default\n"
    "                           sandbox0secret0a7f3c9e); a signature by another gets code 25\n"
    "  --clock-offset SECONDS   the platform's clock runs this far ahead of the machine's\n"
    "                           (negative: behind); a timestamp more than ten minutes from\n"
    "                           its Beijing time gets code 31\n";

// The most --clock-offset may move the platform's clock: ten years either way.
constexpr long long kMaxClockOffset = 10LL * 365 * 86400;

bool ParseCount(const std::string& text, long long max, long long& value) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoll(text);
  return value <= max;
}

// Characters an application key may hold: it goes into every request unencoded, so the URI's
// unreserved ones, as the client allows (AppKeyProblem).
bool IsKey(const std::string& text) {
  return !text.empty() && text.size() <= 64 &&
         text.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                "-_.~") == std::string::npos;
}

// A secret is never sent: any printable ASCII without blanks will do.
bool IsSecret(const std::string& text) {
  if (text.empty() || text.size() > 128) return false;
  for (char c : text) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

bool ParseOffset(const std::string& text, long long& value) {
  bool negative = text.starts_with('-');
  if (!ParseCount(negative ? text.substr(1) : text, kMaxClockOffset, value)) return false;
  if (negative) value = -value;
  return true;
}

int Usage(const std::string& problem) {
  std::cerr << "vendrix-sandbox: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int RunSandbox(int argc, char** argv) {
  SandboxOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    long long number = 0;
    if (arg == "--port") {
      if (!ParseCount(value(), 65535, number)) return Usage("--port takes 0-65535");
      options.port = static_cast<int>(number);
    } else if (arg == "--seed") {
      if (!ParseCount(value(), 1LL << 62, number)) return Usage("--seed takes a number");
      options.seed = static_cast<uint64_t>(number);
    } else if (arg == "--latency-ms") {
      if (!ParseCount(value(), 600000, number)) return Usage("--latency-ms takes milliseconds");
      options.latency_ms = static_cast<int>(number);
    } else if (arg == "--faults") {
      std::string problem;
      if (!FaultRates::Parse(value(), options.faults, problem)) return Usage(problem);
    } else if (arg == "--log") {
      options.log_path = value();
      if (options.log_path.empty()) return Usage("--log takes a file name");
    } else if (arg == "--gbk") {
      options.gbk = true;
    } else if (arg == "--renamed") {
      options.renamed = true;
    } else if (arg == "--reverse-conversions") {
      options.reverse_conversions = true;
    } else if (arg == "--app-key") {
      options.app_key = value();
      if (!IsKey(options.app_key)) {
        return Usage("--app-key takes a key of letters, digits, '-', '_', '.' and '~'");
      }
    } else if (arg == "--app-secret") {
      options.app_secret = value();
      if (!IsSecret(options.app_secret)) {
        return Usage("--app-secret takes a secret of printable characters without blanks");
      }
    } else if (arg == "--clock-offset") {
      if (!ParseOffset(value(), number)) {
        return Usage("--clock-offset takes seconds, at most ten years either way");
      }
      options.clock_offset = number;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "vendrix-sandbox " VENDRIX_VERSION "\n";
      return 0;
    } else {
      return Usage("unknown option '" + arg + "'");
    }
  }

  // Block the stop signals before any thread starts, so that only sigwait below sees them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  try {
    Sandbox sandbox(options);
    sandbox.Start();
    std::cout << sandbox.Base() << std::endl;
    int signal = 0;
    sigwait(&stop, &signal);
    sandbox.Stop();
  } catch (const std::exception& e) {
    std::cerr << "vendrix-sandbox: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace vendrix::sandbox
