// Opening click addresses in the user's web browser, with recorder scripts standing in for
// browsers: the BROWSER convention, and the addresses that never reach any browser.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/Links.h"
#include "platform/CodePage.h"

namespace vendrix {
namespace {

using namespace std::chrono_literals;

class LinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "links-" + std::to_string(getpid());
    ::mkdir(dir_.c_str(), 0755);
    // Each fake browser writes its name and its arguments, one per line, to its own file.
    for (const char* name : {"firefox", "chromium", "xdg-open", "broken"}) {
      std::string path = dir_ + "/" + name;
      std::ofstream(path) << "#!/bin/sh\n"
                          << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << Log(name)
                          << ".tmp'\n"
                          << "mv '" << Log(name) << ".tmp' '" << Log(name) << "'\n"
                          << (std::string(name) == "broken" ? "exit 3\n" : "");
      ::chmod(path.c_str(), 0755);
      std::remove(Log(name).c_str());
    }
    old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir_ + ":" + old_path_).c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", old_path_.c_str(), 1);
    ::unsetenv("BROWSER");
  }
  std::string Log(const std::string& name) const { return dir_ + "/" + name + ".log"; }
  // The arguments `name` was started with, one per line; "" when it was not started in 5 s.
  std::string StartedWith(const std::string& name, std::chrono::milliseconds wait = 5s) const {
    for (auto until = std::chrono::steady_clock::now() + wait;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(10ms)) {
      std::ifstream file(Log(name));
      if (file) {
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
      }
    }
    return "";
  }

  std::string dir_;
  std::string old_path_;
};

TEST_F(LinksTest, BrowserListIsTriedInOrderWithoutAShell) {
  // The records hold GBK; the browser gets the UTF-8 bytes the terminal shows. Quotes and
  // backslashes in the address are never read as the command's own.
  const std::string address = "http://click/item?id=1&nick=淘客;$(id)`id`|x'\"\\y";
  const std::string gbk = Utf8ToGbk(address);
  struct Case {
    const char* browser;  // nullptr: BROWSER unset
    const char* started;  // the fake browser that must have run
    std::string arguments;
  };
  const Case cases[] = {
      {nullptr, "xdg-open", address + "\n"},
      {"", "xdg-open", address + "\n"},
      {"firefox", "firefox", address + "\n"},
      {"firefox --new-window %s", "firefox", "--new-window\n" + address + "\n"},
      {"chromium --app=%s --x=100%% --y=a%cb", "chromium",
       "--app=" + address + "\n--x=100%\n--y=a:b\n"},
      {"no-such-browser:firefox", "firefox", address + "\n"},
      {"::no-such-browser %s::chromium", "chromium", address + "\n"},
      // A browser that starts and then fails has been started: the next is not tried.
      {"broken:firefox", "broken", address + "\n"},
      // No command at all is no BROWSER.
      {":", "xdg-open", address + "\n"},
      {" : :", "xdg-open", address + "\n"},
      // Words as a POSIX shell splits them: quotes and backslashes, never expansions.
      {"firefox '%s'", "firefox", address + "\n"},
      {"firefox \"%s\"", "firefox", address + "\n"},
      {"chromium \"--class=Web Browser\" --x='a:b $HOME' %s", "chromium",
       "--class=Web Browser\n--x=a:b $HOME\n" + address + "\n"},
      {"chromium --y=a\\ b\\:c\\\"d\\\\ \"e\\\"\\f\"", "chromium",
       "--y=a b:c\"d\\\ne\"\\f\n" + address + "\n"},
      {"'no such browser' %s:firefox '' %s", "firefox", "\n" + address + "\n"},
      {"firefox 'never closed %s", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.browser ? c.browser : "(unset)");
    for (const char* name : {"firefox", "chromium", "xdg-open", "broken"}) {
      std::remove(Log(name).c_str());
    }
    if (c.browser) {
      ::setenv("BROWSER", c.browser, 1);
    } else {
      ::unsetenv("BROWSER");
    }
    if (*c.started == '\0') {
      EXPECT_FALSE(OpenInWebBrowser(gbk)) << "a command that cannot be read starts nothing";
    } else {
      EXPECT_TRUE(OpenInWebBrowser(gbk));
      EXPECT_EQ(StartedWith(c.started), c.arguments);
    }
    if (std::string(c.started) != "firefox") {
      EXPECT_EQ(StartedWith("firefox", 200ms), "");
    }
  }
  EXPECT_EQ(StartedWith("xdg-open", 10ms), "") << "with a command set, xdg-open is never tried";
}

TEST_F(LinksTest, NothingStartsForAnAddressThatIsNotWebOrABrowserThatIsMissing) {
  ::setenv("BROWSER", "firefox", 1);
  for (const char* bad : {"--renderer-cmd-prefix=xcalc", "-new-tab", "file:///etc/passwd",
                          "javascript:alert(1)", "", "http://", "http://a b", "http://a\nb"}) {
    EXPECT_FALSE(OpenInWebBrowser(bad)) << bad;
  }
  EXPECT_EQ(StartedWith("firefox", 300ms), "");

  ::setenv("BROWSER", "no-such-browser:/nowhere/either %s", 1);
  EXPECT_FALSE(OpenInWebBrowser("http://click/1")) << "failure when nothing could start";
  ::setenv("PATH", "/nonexistent", 1);
  ::unsetenv("BROWSER");
  EXPECT_FALSE(OpenInWebBrowser("https://click/1")) << "no xdg-open either";
}

}  // namespace
}  // namespace vendrix
