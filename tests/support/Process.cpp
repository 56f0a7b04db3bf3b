#include "tests/support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/PosixIo.h"

namespace vendrix::test {
namespace {

// Starts `program` with its stdout on `out` and, when `err` >= 0, its stderr on `err`, and,
// when `in` >= 0, its stdin on `in`.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env, int out, int err, int in = -1) {
  std::vector<std::string> argv_storage{program};
  argv_storage.insert(argv_storage.end(), args.begin(), args.end());
  pid_t pid = ::fork();
  if (pid < 0) throw PosixError("fork", errno);
  if (pid == 0) {
    ::dup2(out, STDOUT_FILENO);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    if (in >= 0) ::dup2(in, STDIN_FILENO);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (std::string& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         std::chrono::milliseconds limit,
                         const std::optional<std::string>& input) {
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    throw PosixError("pipe", errno);
  }
  // The input is in the pipe before the child exists: a child that ends without reading it
  // cannot make the write fail (the input is far smaller than the pipe).
  UniqueFd in_fd;
  if (input) {
    int in_pipe[2];
    if (::pipe2(in_pipe, O_CLOEXEC) != 0) throw PosixError("pipe", errno);
    in_fd = UniqueFd(in_pipe[0]);
    UniqueFd writer(in_pipe[1]);
    if (::write(writer.Get(), input->data(), input->size()) !=
        static_cast<ssize_t>(input->size())) {
      throw PosixError("write", errno);
    }
  }
  pid_t pid = Spawn(program, args, env, out_pipe[1], err_pipe[1], in_fd.Get());
  in_fd.Reset();
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  UniqueFd out_fd(out_pipe[0]);
  UniqueFd err_fd(err_pipe[0]);

  ProcessResult result;
  auto deadline = std::chrono::steady_clock::now() + limit;
  pollfd fds[2] = {{out_fd.Get(), POLLIN, 0}, {err_fd.Get(), POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    if (RetryOnEintr([&] { return ::poll(fds, 2, static_cast<int>(left.count())); }) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t n = RetryOnEintr([&] { return ::read(fds[i].fd, buffer, sizeof buffer); });
      if (n <= 0) {
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  RetryOnEintr([&] { return ::waitpid(pid, &status, 0); });
  if (WIFEXITED(status) && !result.timed_out) result.exit_code = WEXITSTATUS(status);
  return result;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env) {
  int out_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw PosixError("pipe", errno);
  pid_ = Spawn(program, args, env, out_pipe[1], -1);
  ::close(out_pipe[1]);
  out_ = UniqueFd(out_pipe[0]);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && status_ < 0) Stop(SIGKILL);
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return "";
    pollfd p{out_.Get(), POLLIN, 0};
    if (RetryOnEintr([&] { return ::poll(&p, 1, static_cast<int>(left.count())); }) <= 0) {
      return "";
    }
    char buffer[4096];
    ssize_t n = RetryOnEintr([&] { return ::read(out_.Get(), buffer, sizeof buffer); });
    if (n <= 0) return "";
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

int ChildProcess::Stop(int signal) {
  if (status_ >= 0 || pid_ <= 0) return status_;
  ::kill(pid_, signal);
  int status = 0;
  RetryOnEintr([&] { return ::waitpid(pid_, &status, 0); });
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 256;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> SandboxEnvironment(const std::string& base) {
  // The sandbox knows only its own document's credentials: none of the user's own.
  return {{"VENDRIX_VENDOR_BASE", base},
          {"VENDRIX_GATEWAY", base + "router/rest"},
          {"VENDRIX_SHOP_LOGO", base + "shop-logo"},
          {"VENDRIX_RANK_PICS", base + "newrank/"},
          {"VENDRIX_APP_KEY", ""},
          {"VENDRIX_APP_SECRET", ""},
          {"VENDRIX_NICK", ""}};
}

std::vector<std::vector<std::string>> TsvRows(const std::string& tsv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(tsv);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace vendrix::test
