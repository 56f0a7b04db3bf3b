// Runs programs of the build (vendrix-cli, the sandbox, the window) as child processes for
// end-to-end tests: arguments, extra environment, captured output, a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/PosixIo.h"

namespace vendrix::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when killed by a signal or the time limit
  bool timed_out = false;
  std::string out;
  std::string err;
};

// Runs `program` with `args`, the current environment plus `env` (an empty value counts as
// unset for Vendrix's variables), and waits for it to end; a child still running after
// `limit` is killed. With `input` its standard input is that text; without, the test's own.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(60),
                         const std::optional<std::string>& input = std::nullopt);

// The environment that points the programs at a sandbox whose base address is `base`, with
// none of the user's own credentials.
std::map<std::string, std::string> SandboxEnvironment(const std::string& base);

// The cells of TSV text, a row a line.
std::vector<std::vector<std::string>> TsvRows(const std::string& tsv);

// A child process that runs beside the test (a server); killed on destruction if still alive.
// Its stdout is readable line by line; its stderr goes to the test's own.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of stdout without its line break; "" on end of file or after `limit`.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(30));
  // Sends `signal` and waits for the end; the exit status, or -1 when killed by a signal.
  int Stop(int signal = 15);
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  UniqueFd out_;
  std::string pending_;
  int status_ = -1;
};

}  // namespace vendrix::test
