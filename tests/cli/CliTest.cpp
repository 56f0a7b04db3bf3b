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
  // A body that could not be written out (a full disk) is a failure, not a short success.
  auto full = RunProcess("/bin/sh", {"-c", std::string(VENDRIX_CLI) + " get " + server.Base() +
                                               "/ok >/dev/full"});
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_TRUE(full.err.starts_with("vendrix-cli: the output could not be written")) << full.err;

  ScriptedServer silent([](test::ServerConnection& c) {
    c.ReadRequest();
    c.Sleep(std::chrono::seconds(30));
  });
  auto timeout = RunProcess(VENDRIX_CLI, {"get", "--timeout", "200", silent.Base() + "/"});
  EXPECT_EQ(timeout.exit_code, 1);
  EXPECT_EQ(timeout.err, "Read Timeout\n");
}

// Bad usage exits 2, saying what is wrong (down to the one argument too many), then the usage.
TEST(CliGetTest, BadUsageExitsTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string says;  // the first line of stderr
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"get"}, "get needs at least one URL"},
      {{"get", "--timeout"}, "--timeout takes a number of milliseconds"},
      {{"get", "--timeout", "x", "http://h/"}, "--timeout takes a number of milliseconds"},
      {{"get", "--bogus", "http://h/"}, "unknown option '--bogus'"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"frob\x1b[2J"}, "unknown command 'frob [2J'"},
      {{"config", "extra"}, "unexpected argument 'extra'"},
      {{"categories", "--all"}, "unknown option '--all'"},
      {{"search", "--region", "杭州", "江苏"}, "unexpected argument '江苏'"},
      {{"shop", "a", "b"}, "unexpected argument 'b'"},
      {{"shop", "--verbose"}, "unknown option '--verbose'"},
      {{"items", "a", "--count", "5", "b"}, "unexpected argument 'b'"},
      {{"convert", "item", "1", "2"}, "unexpected argument '2'"},
      {{"convert", "--print", "item", "1"}, "unknown option '--print'"},
      {{"account"}, "account takes set, show, clear or test"},
      {{"account", "test", "now"}, "unexpected argument 'now'"},
      {{"history", "--limit", "0"}, "--limit takes a number of entries, 1 or more"},
      {{"history", "--since", "2026-02-29"}, "--since takes a day as YYYY-MM-DD (UTC)"},
      {{"history", "--kind", "seller"}, "--kind is item or shop"},
      {{"history", "--search", " 【！】"},
       "--search '【！】' holds nothing to look for: give letters, digits or Chinese characters"},
      {{"history", "clear", "--before", "yesterday"}, "--before takes a day as YYYY-MM-DD (UTC)"},
      {{"history", "--format", "xml"}, "--format is tsv, csv or json"},
      {{"saved", "add", "shop"}, "saved add takes 'shop NICK' or 'item IID'"},
      {{"saved", "add", "item", "12a"}, "saved add item takes an item id of digits"},
      {{"saved", "add", "item", "1", "--format", "xml"}, "--format is tsv, csv or json"},
      {{"saved", "remove", "item", "1", "--note", "x"}, "unknown option '--note'"},
      {{"saved", "list", "--kind", "seller"}, "--kind is shop or item"},
      {{"saved", "clear"}, "saved takes add, remove or list"},
      {{"library", "restore", "x.db"}, "library takes backup FILE"},
      {{"library", "backup"}, "library backup takes a FILE"},
  };
  for (const Case& c : cases) {
    auto result = RunProcess(VENDRIX_CLI, c.args);
    EXPECT_EQ(result.exit_code, 2) << c.says;
    EXPECT_TRUE(result.err.starts_with("vendrix-cli: " + c.says + "\nusage:")) << result.err;
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
