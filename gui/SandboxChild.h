// `vendrix --sandbox`: vendrix-sandbox (found beside the executable, else on PATH) as a child
// process on a free port, with the window's four settings pointed at it. The child dies with
// us, even when we are killed; otherwise it is stopped when this object goes. Start it before
// any thread exists (before the QApplication): it forks.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/PosixIo.h"
#include "platform/Settings.h"

namespace vendrix {

namespace sandbox_child_defaults {
inline constexpr int kStartTimeoutMs = 30000;  // for the sandbox to print its address
inline constexpr const char* kProgram = "vendrix-sandbox";
}  // namespace sandbox_child_defaults

class TSandboxChild {
 public:
  // Starts the sandbox and waits for its address; nullptr with `problem` set when it cannot.
  static std::unique_ptr<TSandboxChild> Start(std::string& problem);
  ~TSandboxChild();
  TSandboxChild(const TSandboxChild&) = delete;
  TSandboxChild& operator=(const TSandboxChild&) = delete;

  // "http://127.0.0.1:PORT/"
  const std::string& Base() const { return base_; }
  // The window's four addresses pointed at this sandbox, whose document alone gives the
  // credentials.
  Settings SettingsForIt() const;

 private:
  TSandboxChild(pid_t pid, UniqueFd out) : pid_(pid), out_(std::move(out)) {}

  pid_t pid_;
  UniqueFd out_;  // the child's stdout; held open so that it never writes into nothing
  std::string base_;
};

}  // namespace vendrix
