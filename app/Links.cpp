#include "app/Links.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/CodePage.h"

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

// `word` with "%s" replaced by `address` (setting `placed`), "%%" by "%" and "%c" by ":".
std::string Substitute(std::string_view word, const std::string& address, bool& placed) {
  std::string arg;
  for (size_t i = 0; i < word.size(); ++i) {
    char next = i + 1 < word.size() ? word[i + 1] : '\0';
    if (word[i] == '%' && next == 's') {
      arg += address;
      placed = true;
      ++i;
    } else if (word[i] == '%' && next == '%') {
      arg += '%';
      ++i;
    } else if (word[i] == '%' && next == 'c') {
      arg += ':';  // a colon inside a command, which the list itself splits at
      ++i;
    } else {
      arg += word[i];
    }
  }
  return arg;
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
  if (scheme == 0 || !IsWebAddress(address)) return {};
  std::string_view rest = address.substr(scheme);
  rest = rest.substr(0, rest.find('#'));
  // A browser ends the authority at a backslash too (it reads it as "/"): in
  // evil.example\@item.taobao.com the host is evil.example.
  size_t authority_end = std::min(rest.find_first_of("/?\\"), rest.size());
  std::string_view authority = rest.substr(0, authority_end);
  std::string_view after = rest.substr(authority_end);
  size_t question = std::min(after.find('?'), after.size());
  std::string path(after.substr(0, question));
  std::string_view query = after.substr(std::min(question + 1, after.size()));
  std::replace(path.begin(), path.end(), '\\', '/');
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  auto digits = [](std::string_view text) {
    return !text.empty() && text.size() <= 20 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  size_t colon = std::min(authority.find(':'), authority.size());
  std::string_view port = authority.substr(std::min(colon + 1, authority.size()));
  if (!port.empty() && !digits(port)) return {};
  std::string host;
  for (char c : authority.substr(0, colon)) {
    host += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (host.ends_with('.')) host.pop_back();  // the fully qualified form of the same name
  auto under = [&host](std::string_view domain) {
    return host == domain || (host.size() > domain.size() + 1 && host.ends_with(domain) &&
                              host[host.size() - domain.size() - 1] == '.');
  };

  if (under("tb.cn") || host == "s.click.taobao.com") return {CopiedAddress::kShortLink, ""};
  constexpr std::string_view kShopHost = ".taobao.com";
  if (host.starts_with("shop") && host.ends_with(kShopHost)) {
    std::string_view shop = std::string_view(host).substr(4, host.size() - 4 - kShopHost.size());
    if (digits(shop)) return {CopiedAddress::kShop, std::string(shop)};
  }
  if (!under("taobao.com") && !under("tmall.com")) return {};
  std::string_view page = std::string_view(path).substr(path.rfind('/') + 1);
  if (host == "a.m.taobao.com" && page.starts_with('i') && page.ends_with(".htm") &&
      digits(page.substr(1, page.size() - 5))) {
    return {CopiedAddress::kItem, std::string(page.substr(1, page.size() - 5))};
  }
  if (page != "item.htm" && page != "detail.htm" && page != "detail.html") return {};
  while (!query.empty()) {
    size_t amp = std::min(query.find('&'), query.size());
    std::string_view pair = query.substr(0, amp);
    query.remove_prefix(std::min(amp + 1, query.size()));
    if (pair.starts_with("id=")) {
      if (!digits(pair.substr(3))) return {};
      return {CopiedAddress::kItem, std::string(pair.substr(3))};
    }
  }
  return {};
}

std::vector<std::vector<std::string>> BrowserCommands(std::string_view browser,
                                                      const std::string& address) {
  std::vector<std::vector<std::string>> commands;
  std::vector<std::string> argv;
  std::string word;
  bool in_word = false;  // a word has begun: quotes alone make an empty one
  bool placed = false;   // "%s" was in one of the command's words
  bool broken = false;   // a quote that never closes: the command cannot be read
  auto end_word = [&] {
    if (in_word) argv.push_back(Substitute(word, address, placed));
    word.clear();
    in_word = false;
  };
  auto end_command = [&] {
    end_word();
    if (!argv.empty() && !broken) {
      if (!placed) argv.push_back(address);
      commands.push_back(std::move(argv));
    }
    argv.clear();
    placed = false;
    broken = false;
  };
  // Words as a POSIX shell splits them, with nothing expanded: blanks end a word, a colon a
  // command; inside single quotes every byte stands for itself, inside double quotes a
  // backslash keeps its meaning only before $ ` " \ and a line break, and elsewhere it takes
  // the next byte as it is.
  size_t i = 0;
  while (i < browser.size()) {
    char c = browser[i];
    if (c == ':') {
      end_command();
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\n') {
      end_word();
      ++i;
    } else if (c == '\\' && i + 1 < browser.size()) {
      if (browser[i + 1] != '\n') {  // a backslash and a line break join two lines
        word += browser[i + 1];
        in_word = true;
      }
      i += 2;
    } else if (c == '\'') {
      in_word = true;
      size_t close = browser.find('\'', i + 1);
      if (close == std::string_view::npos) {
        broken = true;
        close = browser.size();
      }
      word += browser.substr(i + 1, close - i - 1);
      i = close + 1;
    } else if (c == '"') {
      in_word = true;
      for (++i; i < browser.size() && browser[i] != '"'; ++i) {
        if (browser[i] == '\\' && i + 1 < browser.size() &&
            std::string_view("$`\"\\\n").find(browser[i + 1]) != std::string_view::npos) {
          ++i;
          if (browser[i] == '\n') continue;
        }
        word += browser[i];
      }
      if (i >= browser.size()) broken = true;
      ++i;
    } else {
      word += c;
      in_word = true;
      ++i;
    }
  }
  end_command();
  return commands;
}

bool OpenInWebBrowser(const std::string& address, const std::vector<std::string>& changes) {
  if (!IsWebAddress(address)) return false;
  // The records hold GBK; the browser, like the terminal the address is printed on, reads
  // UTF-8.
  const std::string utf8 = GbkToUtf8(address);
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
  // A BROWSER that names no command at all (empty, blanks, ":") is as good as unset.
  bool unset = browser == nullptr ||
               std::string_view(browser).find_first_not_of(": \t\n") == std::string_view::npos;
  std::vector<std::vector<std::string>> commands =
      unset ? std::vector<std::vector<std::string>>{{link_defaults::kFallbackBrowser, utf8}}
            : BrowserCommands(browser, utf8);
  // The next command is for a browser that could not be started, not for one that failed.
  for (const std::vector<std::string>& argv : commands) {
    if (Spawn(argv, envp.data())) return true;
  }
  return false;
}

}  // namespace vendrix
