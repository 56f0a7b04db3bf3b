// vendrix-cli account test against sandbox processes: one that accepts the configuration's
// pair, and one started with another key. The advice for each refusal is AccountCheckTest's.
#include <gtest/gtest.h>

#include "tests/support/Process.h"

namespace vendrix {
namespace {

using test::ChildProcess;
using test::RunProcess;

TEST(CliAccountTestTest, PrintsTheRoundTripsOrWhatToFix) {
  // The configuration document (with the sandbox's usual pair) comes from this one.
  ChildProcess vendor(VENDRIX_SANDBOX, {"--port", "0"});
  const std::string vendor_base = vendor.ReadLine();
  ASSERT_FALSE(vendor_base.empty());
  auto account_test = [&](std::vector<std::string> options) {
    options.insert(options.begin(), {"--port", "0"});
    ChildProcess platform(VENDRIX_SANDBOX, options);
    const std::string base = platform.ReadLine();
    EXPECT_FALSE(base.empty());
    return RunProcess(VENDRIX_CLI, {"account", "test"},
                      {{"VENDRIX_VENDOR_BASE", vendor_base},
                       {"VENDRIX_GATEWAY", base + "router/rest"}});
  };
  const std::string account = "app_key 21000001, nick 淘客联盟小助手\n";

  auto works = account_test({});
  EXPECT_EQ(works.exit_code, 0) << works.err;
  EXPECT_EQ(works.err, "");
  EXPECT_TRUE(works.out.starts_with(
      account + "The category call (taobao.itemcats.get) went through: 57 categories, round "
                "trip "))
      << works.out;
  const size_t search = works.out.find(
      " ms\nThe affiliate item search (taobao.taobaoke.items.get) went through: click addresses "
      "come back for 淘客联盟小助手, round trip ");
  EXPECT_NE(search, std::string::npos) << works.out;
  EXPECT_TRUE(works.out.ends_with(" ms\n")) << works.out;

  auto refused = account_test({"--app-key", "30000002", "--app-secret", "other"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.out, account) << "no round trip for a refused call";
  EXPECT_TRUE(refused.err.starts_with(
      "vendrix-cli: the category call (taobao.itemcats.get) failed after "))
      << refused.err;
  EXPECT_NE(refused.err.find("does not know this application key (code 29: Invalid App Key)"),
            std::string::npos)
      << refused.err;
}

}  // namespace
}  // namespace vendrix
