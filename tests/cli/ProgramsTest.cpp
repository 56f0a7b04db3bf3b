// The three programs as a user first meets them: --help and --version without a display, a
// wrong option refused before any window system is touched, and the window's own sandbox.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "VendrixVersion.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

using namespace std::chrono_literals;
using test::RunProcess;

// No display to be had: a program that touched the window system here would fail.
const std::map<std::string, std::string> kNoDisplay = {
    {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}};

TEST(ProgramsTest, HelpAndVersionWithoutADisplay_WrongOptionsExitTwo) {
  struct Case {
    std::string program;
    std::vector<std::string> args;
    int exit_code;
    std::string out_part;  // "" when stdout must be empty
    std::string err_part;
    std::map<std::string, std::string> env = {};
  };
  std::vector<Case> cases = {
      {VENDRIX_CLI, {"--version"}, 0, "vendrix-cli " VENDRIX_VERSION "\n", ""},
      {VENDRIX_CLI, {"--help"}, 0, "usage: vendrix-cli", ""},
      {VENDRIX_SANDBOX, {"--version"}, 0, "vendrix-sandbox " VENDRIX_VERSION "\n", ""},
      {VENDRIX_SANDBOX, {"--help"}, 0, "usage: vendrix-sandbox", ""},
  };
  for (const char* command :
       {"get", "config", "call", "categories", "search", "shop", "items", "convert", "account",
        "history", "saved", "library"}) {
    cases.push_back(
        {VENDRIX_CLI, {command, "--help"}, 0, std::string("usage: vendrix-cli ") + command, ""});
  }
#ifdef VENDRIX_WINDOW
  cases.push_back({VENDRIX_WINDOW, {"--version"}, 0, "vendrix " VENDRIX_VERSION "\n", ""});
  cases.push_back({VENDRIX_WINDOW, {"--help"}, 0, "usage: vendrix [--sandbox]", ""});
  cases.push_back({VENDRIX_WINDOW, {"--bogus"}, 2, "", "usage: vendrix [--sandbox]"});
  cases.push_back({VENDRIX_WINDOW, {"somefile"}, 2, "", "usage: vendrix"});
  cases.push_back({VENDRIX_WINDOW, {"--screenshot"}, 2, "", "needs a FILE"});
  cases.push_back({VENDRIX_WINDOW, {"-style", "Fusion", "--help"}, 0, "usage: vendrix", ""});
  // Half a credential pair is bad usage, said before any window system is touched.
  cases.push_back({VENDRIX_WINDOW, {"-style", "Fusion"}, 2, "",
                   "vendrix: VENDRIX_APP_SECRET is set but VENDRIX_APP_KEY is not",
                   {{"VENDRIX_APP_SECRET", "s3cret0"}}});
#endif
  for (const Case& c : cases) {
    std::map<std::string, std::string> env = kNoDisplay;
    env.insert(c.env.begin(), c.env.end());
    auto result = RunProcess(c.program, c.args, env, 10s);
    std::string name = std::filesystem::path(c.program).filename().string() + " " + c.args[0];
    EXPECT_EQ(result.exit_code, c.exit_code) << name << "\n" << result.err;
    if (c.out_part.empty()) {
      EXPECT_EQ(result.out, "") << name;
    } else {
      EXPECT_NE(result.out.find(c.out_part), std::string::npos) << name << "\n" << result.out;
    }
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << name << "\n" << result.err;
  }
}

#ifdef VENDRIX_WINDOW
// `vendrix --sandbox` runs its own sandbox, which ends with the window, even a killed one.
TEST(ProgramsTest, TheWindowsSandboxStartsAndEndsWithIt) {
  std::string sandbox_dir = std::filesystem::path(VENDRIX_SANDBOX).parent_path().string();
  std::string path = sandbox_dir + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "");
  // Half a credential pair would be bad usage for the window on its own; its sandbox knows
  // only its own document's credentials and goes on.
  std::map<std::string, std::string> env = {{"PATH", path},
                                            {"QT_QPA_PLATFORM", "offscreen"},
                                            {"QTWEBENGINE_DISABLE_SANDBOX", "1"},
                                            {"XDG_CONFIG_HOME", ::testing::TempDir()},
                                            {"VENDRIX_APP_KEY", "12345678"}};
  auto missing = RunProcess(VENDRIX_WINDOW, {"--sandbox"}, {{"PATH", "/nonexistent"}}, 10s);
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("the sandbox could not start: cannot find vendrix-sandbox"),
            std::string::npos)
      << missing.err;

  // Killed: its sandbox goes with it.
  test::ChildProcess window(VENDRIX_WINDOW, {"--sandbox"}, env);
  pid_t sandbox = 0;
  for (auto until = std::chrono::steady_clock::now() + 30s;
       sandbox == 0 && std::chrono::steady_clock::now() < until;
       std::this_thread::sleep_for(50ms)) {
    std::ifstream children("/proc/" + std::to_string(window.Pid()) + "/task/" +
                           std::to_string(window.Pid()) + "/children");
    children >> sandbox;
  }
  ASSERT_GT(sandbox, 0) << "no sandbox child";
  std::this_thread::sleep_for(500ms);
  window.Stop(SIGKILL);
  bool gone = false;
  // A sandbox still generating its data ends when that is done.
  for (auto until = std::chrono::steady_clock::now() + 30s;
       !gone && std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
    std::ifstream stat("/proc/" + std::to_string(sandbox) + "/stat");
    std::string pid, name, state;
    gone = !(stat >> pid >> name >> state) || state == "Z";
  }
  EXPECT_TRUE(gone) << "the sandbox outlived the killed window";
}
#endif

}  // namespace
}  // namespace vendrix
