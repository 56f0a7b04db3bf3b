// Runs a program of the build (vendrix-cli, the sandbox) as a child process for end-to-end
// tests: arguments, extra environment, captured stdout and stderr, a time limit.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace vendrix::test {

struct ProcessResult {
  int exit_code = -1;  // -1 when killed by a signal or the time limit
  bool timed_out = false;
  std::string out;
  std::string err;
};

// Runs `program` with `args`, the current environment plus `env`, and waits for it to end;
// a child still running after `limit` is killed.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace vendrix::test
