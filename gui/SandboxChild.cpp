#include "gui/SandboxChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace vendrix {
namespace {

using namespace sandbox_child_defaults;

bool Executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

// The sandbox beside our own executable, else the first one on PATH; "" when there is none.
std::string FindSandbox() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    if (Executable(dir + kProgram)) return dir + kProgram;
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string dir = dirs.substr(start, colon - start);
    start = colon + 1;
    if (!dir.empty() && Executable(dir + "/" + kProgram)) return dir + "/" + kProgram;
  }
  return "";
}

}  // namespace

std::unique_ptr<TSandboxChild> TSandboxChild::Start(std::string& problem) {
  std::string program = FindSandbox();
  if (program.empty()) {
    // Appended piece by piece: GCC 12 warns wrongly about a chain of + here.
    problem = "cannot find ";
    problem.append(kProgram).append(" beside vendrix or on PATH");
    return nullptr;
  }
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    problem = "cannot start " + program + ": " + ErrorText(errno);
    return nullptr;
  }
  UniqueFd read_end(pipe_fds[0]);
  UniqueFd write_end(pipe_fds[1]);
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    problem = "cannot start " + program + ": " + ErrorText(errno);
    return nullptr;
  }
  if (pid == 0) {
    // The child: it dies with us, however we end; its address comes through the pipe.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);  // we were gone before the line above
    ::dup2(write_end.Get(), STDOUT_FILENO);
    const char* args[] = {program.c_str(), "--port", "0", nullptr};
    ::execv(program.c_str(), const_cast<char* const*>(args));
    ::_exit(127);
  }
  write_end.Reset();
  std::unique_ptr<TSandboxChild> child(new TSandboxChild(pid, std::move(read_end)));

  // Its first line is its address; it prints it once its port is bound.
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    pollfd fd{child->out_.Get(), POLLIN, 0};
    if (left <= 0 || RetryOnEintr([&] { return ::poll(&fd, 1, static_cast<int>(left)); }) <= 0) {
      problem = program + " did not answer within " + std::to_string(kStartTimeoutMs / 1000) + " s";
      return nullptr;
    }
    char buffer[256];
    ssize_t got = RetryOnEintr([&] { return ::read(child->out_.Get(), buffer, sizeof buffer); });
    if (got <= 0) {
      problem = program + " ended before it was ready (see its message above)";
      return nullptr;
    }
    line.append(buffer, static_cast<size_t>(got));
  }
  child->base_ = line.substr(0, line.find('\n'));
  if (!child->base_.starts_with("http://") || !child->base_.ends_with("/")) {
    problem = program + " printed no address but '" + child->base_ + "'";
    return nullptr;
  }
  return child;
}

TSandboxChild::~TSandboxChild() {
  ::kill(pid_, SIGTERM);
  // It stops at once; one that does not is not worth holding the window's end for.
  for (int waited = 0; waited < 100; ++waited) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

Settings TSandboxChild::SettingsForIt() const {
  Settings settings;
  settings.VendorBase = base_;
  settings.Gateway = base_ + "router/rest";
  settings.ShopLogo = base_ + "shop-logo";
  settings.RankPics = base_ + "newrank/";
  settings.UseOwnCredentials = false;  // the sandbox knows only its own document's
  return settings;
}

}  // namespace vendrix
