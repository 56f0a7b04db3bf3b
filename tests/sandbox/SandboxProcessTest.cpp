// vendrix-sandbox as a process: the base address first on stdout, a clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>

#include "platform/IdHTTP.h"
#include "tests/support/Process.h"

namespace vendrix {
namespace {

TEST(SandboxProcessTest, PrintsItsBaseServesAndStopsOnSigterm) {
  std::string log = ::testing::TempDir() + "/sandbox-process.log";
  std::remove(log.c_str());
  // Any key the client takes, '~' among its characters.
  test::ChildProcess sandbox(VENDRIX_SANDBOX, {"--port", "0", "--seed", "5", "--log", log,
                                               "--app-key", "Key-1_2.3~4"});
  std::string base = sandbox.ReadLine();
  ASSERT_TRUE(base.starts_with("http://127.0.0.1:") && base.ends_with("/")) << base;
  TIdHTTP http;
  EXPECT_NE(http.Get(base + "taoke/api.php").find("<app_key>Key-1_2.3~4</app_key>"),
            std::string::npos);
  EXPECT_EQ(sandbox.Stop(SIGTERM), 0);

  std::ifstream lines(log);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_NE(line.find("\t/taoke/api.php\t"), std::string::npos) << line;
}

TEST(SandboxProcessTest, BadUsageExitsTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--port", "x"}, {"--faults", "drop=3"}, {"--bogus"}, {"--latency-ms"},
           {"--app-key"}, {"--app-key", "a&b"}, {"--app-secret", "two words"},
           {"--clock-offset", "ten"}, {"--clock-offset", "400000000"}}) {
    EXPECT_EQ(test::RunProcess(VENDRIX_SANDBOX, args).exit_code, 2) << args[0];
  }
}

}  // namespace
}  // namespace vendrix
