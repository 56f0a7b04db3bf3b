#include "app/Links.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace vendrix {

LinkDecision DecideLink(std::string_view url) {
  if (url == "about:blank" || url.size() >= link_defaults::kPassLength) return {};
  std::string_view text = url.substr(0, url.empty() ? 0 : url.size() - 1);
  // Bytes 8 to 10, counted from 1: the three right after "http://".
  if (text.size() >= 10 && text.substr(7, 3) == "iid") {
    return {LinkDecision::kItem, std::string(text.substr(10))};
  }
  return {LinkDecision::kShop, ""};
}

bool OpenInWebBrowser(const std::string& address) {
  const char* browser = std::getenv("BROWSER");
  std::string program = browser != nullptr && *browser != '\0' ? browser : "xdg-open";
  // sh runs the browser in the background and exits at once, so the browser is nobody's child
  // of ours to wait for; the address travels as an argument, never through the shell's parser.
  std::vector<std::string> argv = {"/bin/sh", "-c", "\"$0\" \"$1\" >/dev/null 2>&1 &", program,
                                   address};
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vendrix
