#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "tests/support/Process.h"
#include "tests/support/ScriptedServer.h"

namespace vendrix {
namespace {

using test::HttpReply;
using test::RunProcess;
using test::ScriptedServer;

TEST(CliGetTest, PrintsBodiesInOrderOverOneConnection) {
  ScriptedServer server(ScriptedServer::Replying([](const std::string& request) {
    return HttpReply("200 OK", "[" + test::RequestTarget(request) + "]");
  }));
  auto result = RunProcess(VENDRIX_CLI, {"get", server.Base() + "/a", server.Base() + "/b?x=%41"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "[/a][/b?x=%41]");
  EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST(CliGetTest, FailuresGoToStderrWithExitOne) {
  ScriptedServer server(ScriptedServer::Replying([](const std::string& request) {
    if (test::RequestTarget(request) == "/ok") return HttpReply("200 OK", "fine");
    return HttpReply("404 Not Found", "gone");
  }));
  auto status = RunProcess(VENDRIX_CLI, {"get", server.Base() + "/ok", server.Base() + "/x"});
  EXPECT_EQ(status.exit_code, 1);
  EXPECT_EQ(status.out, "fine");
  EXPECT_EQ(status.err, "HTTP/1.1 404 Not Found\n");

  ScriptedServer silent([](test::ServerConnection& c) {
    c.ReadRequest();
    c.Sleep(std::chrono::seconds(30));
  });
  auto timeout = RunProcess(VENDRIX_CLI, {"get", "--timeout", "200", silent.Base() + "/"});
  EXPECT_EQ(timeout.exit_code, 1);
  EXPECT_EQ(timeout.err, "Read Timeout\n");
}

TEST(CliGetTest, BadUsageExitsTwo) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"get"}, {"get", "--timeout"},
                                             {"get", "--timeout", "x", "http://h/"},
                                             {"frobnicate"}, {"config", "extra"}}) {
    auto result = RunProcess(VENDRIX_CLI, args);
    EXPECT_EQ(result.exit_code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(result.err.find("usage:"), std::string::npos);
  }
}

TEST(CliConfigTest, ReadsTheDocumentFromTheConfiguredVendorBase) {
  ScriptedServer server(ScriptedServer::Replying([](const std::string& request) {
    if (test::RequestTarget(request) != "/vendor/taoke/api.php") {
      return HttpReply("404 Not Found", "");
    }
    return HttpReply("200 OK", "<?xml version=\"1.0\" encoding=\"GBK\"?><r><api>"
                               "<app_key>12345678</app_key><app_sec>secret</app_sec><nick>" +
                                   Utf8ToGbk("淘客小店") + "</nick></api></r>");
  }));
  auto result = RunProcess(VENDRIX_CLI, {"config"},
                           {{"VENDRIX_VENDOR_BASE", server.Base() + "/vendor"}});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "app_key\t12345678\napp_sec\tset\nnick\t淘客小店\n");
  EXPECT_EQ(result.out.find("secret"), std::string::npos) << "the secret is never printed";

  auto unreachable = RunProcess(VENDRIX_CLI, {"config"},
                                {{"VENDRIX_VENDOR_BASE", "http://127.0.0.1:1/"}});
  EXPECT_EQ(unreachable.exit_code, 1);
  EXPECT_NE(
      unreachable.err.find("http://127.0.0.1:1/taoke/api.php could not be read: Socket Error"),
      std::string::npos)
      << "says why: " << unreachable.err;
  auto missing =
      RunProcess(VENDRIX_CLI, {"config"}, {{"VENDRIX_VENDOR_BASE", server.Base() + "/"}});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("could not be read: HTTP/1.1 404 Not Found"), std::string::npos)
      << missing.err;
}

}  // namespace
}  // namespace vendrix
