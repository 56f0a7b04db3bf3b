#include "app/Links.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace vendrix {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// The name of an environment entry "NAME=value" (or of a bare "NAME").
std::string_view EntryName(std::string_view entry) { return entry.substr(0, entry.find('=')); }

// Starts `argv` found on PATH, detached from us: a session of its own, default signal
// handling, no terminal input or output, the environment `envp`. False when it could not be
// started at all.
bool Spawn(const std::vector<std::string>& argv, char* const* envp) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t files;
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_init(&files);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  for (int fd : {0, 1, 2}) {
    posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  pid_t pid = 0;
  // glibc reports a program that cannot be executed as the result of the call itself.
  int error = posix_spawnp(&pid, args[0], &files, &attributes, args.data(), envp);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return false;
  // The browser may outlive us; while we live, nobody else waits for it, so a thread does.
  std::thread([pid] {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

// The length of an http:// or https:// at the start of `address`, any letter case; 0 without.
size_t WebSchemeLength(std::string_view address) {
  return StartsWithNoCase(address, "http://") ? 7 : StartsWithNoCase(address, "https://") ? 8 : 0;
}

}  // namespace

LinkDecision DecideLink(std::string_view url) {
  if (url == "about:blank" || url.size() >= link_defaults::kPassLength) return {};
  std::string_view text = url.substr(0, url.empty() ? 0 : url.size() - 1);
  // Bytes 8 to 10, counted from 1: the three right after "http://".
  if (text.size() >= 10 && text.substr(7, 3) == "iid") {
    return {LinkDecision::kItem, std::string(text.substr(10))};
  }
  return {LinkDecision::kShop, ""};
}

bool IsWebAddress(std::string_view address) {
  size_t scheme = WebSchemeLength(address);
  if (scheme == 0 || address.size() == scheme) return false;
  for (char c : address) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
  }
  return true;
}

CopiedAddress ReadCopiedAddress(std::string_view address) {
  size_t scheme = WebSchemeLength(address);
  if (scheme == 0) return {};
  std::string_view rest = address.substr(scheme);
  rest = rest.substr(0, rest.find('#'));
  size_t authority_end = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, authority_end);
  std::string_view query;
  if (size_t question = rest.find('?'); question != std::string_view::npos) {
    query = rest.substr(question + 1);
  }
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string host;
  for (char c : authority.substr(0, authority.find(':'))) {
    host += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  auto digits = [](std::string_view text) {
    return !text.empty() && text.size() <= 20 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
  };

  bool marketplace = false;
  for (std::string_view domain : {"taobao.com", "tmall.com"}) {
    marketplace = marketplace || host == domain ||
                  (host.size() > domain.size() + 1 && host.ends_with(domain) &&
                   host[host.size() - domain.size() - 1] == '.');
  }
  if (marketplace) {
    while (!query.empty()) {
      size_t amp = query.find('&');
      std::string_view pair = query.substr(0, amp);
      query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
      if (pair.starts_with("id=") && digits(pair.substr(3))) {
        return {CopiedAddress::kItem, std::string(pair.substr(3))};
      }
    }
  }
  constexpr std::string_view kShopHost = ".taobao.com";
  if (host.starts_with("shop") && host.ends_with(kShopHost) &&
      digits(std::string_view(host).substr(4, host.size() - 4 - kShopHost.size()))) {
    return {CopiedAddress::kShop, host.substr(4, host.size() - 4 - kShopHost.size())};
  }
  return {};
}

std::vector<std::vector<std::string>> BrowserCommands(std::string_view browser,
                                                      const std::string& address) {
  std::vector<std::vector<std::string>> commands;
  size_t start = 0;
  while (start <= browser.size()) {
    size_t colon = browser.find(':', start);
    if (colon == std::string_view::npos) colon = browser.size();
    std::string_view command = browser.substr(start, colon - start);
    start = colon + 1;

    std::vector<std::string> argv;
    bool placed = false;
    size_t at = 0;
    while (at < command.size()) {
      size_t begin = command.find_first_not_of(" \t", at);
      if (begin == std::string_view::npos) break;
      size_t end = command.find_first_of(" \t", begin);
      if (end == std::string_view::npos) end = command.size();
      std::string_view word = command.substr(begin, end - begin);
      at = end;
      std::string arg;
      for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '%' && i + 1 < word.size() && word[i + 1] == 's') {
          arg += address;
          placed = true;
          ++i;
        } else if (word[i] == '%' && i + 1 < word.size() && word[i + 1] == '%') {
          arg += '%';
          ++i;
        } else if (word[i] == '%' && i + 1 < word.size() && word[i + 1] == 'c') {
          arg += ':';  // a colon inside a command, which the list itself splits at
          ++i;
        } else {
          arg += word[i];
        }
      }
      argv.push_back(std::move(arg));
    }
    if (argv.empty()) continue;
    if (!placed) argv.push_back(address);
    commands.push_back(std::move(argv));
  }
  return commands;
}

bool OpenInWebBrowser(const std::string& address, const std::vector<std::string>& changes) {
  if (!IsWebAddress(address)) return false;
  // Our environment, read here and never written: the entries `changes` names give way to it.
  std::vector<char*> envp;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    bool changed = false;
    for (const std::string& change : changes) {
      changed = changed || EntryName(change) == EntryName(*entry);
    }
    if (!changed) envp.push_back(*entry);
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos) envp.push_back(const_cast<char*>(change.c_str()));
  }
  envp.push_back(nullptr);
  const char* browser = std::getenv("BROWSER");
  std::vector<std::vector<std::string>> commands =
      browser != nullptr && *browser != '\0'
          ? BrowserCommands(browser, address)
          : std::vector<std::vector<std::string>>{{link_defaults::kFallbackBrowser, address}};
  // The next command is for a browser that could not be started, not for one that failed.
  for (const std::vector<std::string>& argv : commands) {
    if (Spawn(argv, envp.data())) return true;
  }
  return false;
}

}  // namespace vendrix
